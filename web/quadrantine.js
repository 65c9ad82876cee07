// Quadrantine in a web page: the Quadface library as WebAssembly, a function
// that draws the face on any 2D context, and the <quadrantine-clock>
// element.  One module, no dependencies; quadface.wasm lies beside it.
//
// The library draws through two primitives: face_set_pen(pen) chooses one
// of five colour roles, face_fill(x0, y0, x1, y1) fills a rectangle whose
// corners both belong to it, with rows counted from the bottom; a fill with
// x1 < x0 or y1 < y0 is empty.  A size it cannot lay out ends the drawing
// through face_layout_failure(message) before any primitive is called.

let face = null;      // the module's exports, once loaded
let loading = null;   // the promise of the first loadQuadface
let fills = null;     // the drawing in progress: pen, x, y, w, h per fill
let pen = 0;
let drawHeight = 0;

// The library's refusal: its own message, without the newline it ends with.
function failure(pointer) {
  const bytes = new Uint8Array(face.memory.buffer);
  let end = pointer;
  while (end < bytes.length && bytes[end] !== 0)
    end++;
  const error = new Error(new TextDecoder().decode(bytes.subarray(pointer, end)).replace(/\n$/, ''));
  error.name = 'QuadfaceError';
  throw error;
}

const imports = {
  env: {
    face_set_pen(p) {
      pen = p;
    },
    // Kept in canvas terms: rows from the top, a width and a height.
    face_fill(x0, y0, x1, y1) {
      if (x1 < x0 || y1 < y0)
        return;
      fills.push(pen, x0, drawHeight - 1 - y1, x1 - x0 + 1, y1 - y0 + 1);
    },
    face_layout_failure: failure,
  },
};

async function instantiate(source) {
  if (typeof source === 'string' || source instanceof URL)
    source = await fetch(source);
  if (typeof Response !== 'undefined' && source instanceof Response) {
    if (!source.ok)
      throw new Error(`Quadface: cannot load ${source.url} (${source.status})`);
    source = await source.arrayBuffer();
  }
  const result = await WebAssembly.instantiate(source, imports);
  face = (result.instance ?? result).exports;
}

// Loads quadface.wasm, by default from beside this module; source may also
// be a URL, a Response, the module's bytes or a WebAssembly.Module.  The
// first call loads it, later calls return the same promise; a failed load
// may be tried again.
export function loadQuadface(source = new URL('./quadface.wasm', import.meta.url)) {
  if (!loading)
    loading = instantiate(source).catch((error) => {
      loading = null;
      throw error;
    });
  return loading;
}

// The fills of the face for that time, size and border, in canvas terms.
// Throws the library's refusal before anything is drawn.
function faceFills(hour, minute, second, width, height, border) {
  if (!face)
    throw new Error('Quadface: not loaded yet (await loadQuadface() first)');
  const list = [];
  fills = list;
  drawHeight = height;
  try {
    face.face_draw(hour, minute, second, width, height, border);
  } finally {
    fills = null;
  }
  return list;
}

function sameFills(a, b) {
  if (a === null || b === null || a.length !== b.length)
    return false;
  for (let i = 0; i < a.length; i++)
    if (a[i] !== b[i])
      return false;
  return true;
}

function paint(context, list, colours) {
  let current = -1;
  for (let i = 0; i < list.length; i += 5) {
    if (list[i] !== current) {
      current = list[i];
      context.fillStyle = colours[current];
    }
    context.fillRect(list[i + 1], list[i + 2], list[i + 3], list[i + 4]);
  }
}

// A colour as given, or the fallback when none is given or, where the
// browser can tell, it is no CSS colour.
function colour(value, fallback) {
  if (value === undefined || value === null || value === '')
    return fallback;
  if (globalThis.CSS?.supports && !CSS.supports('color', value))
    return fallback;
  return value;
}

// The five pens' colours: bg white and fg black unless given; the inside of
// the square follows bg, the rim, the hour and the minutes follow fg.
function penColours({ bg, fg, ic, sc, hc, mc }) {
  const background = colour(bg, 'white');
  const foreground = colour(fg, 'black');
  // In the library's order of pens: background, inside, square, hour, minute.
  return [background, colour(ic, background), colour(sc, foreground),
    colour(hc, foreground), colour(mc, foreground)];
}

// Draws the face on a 2D context (a canvas's, an OffscreenCanvas's) in its
// current coordinates, from (0, 0): one pixel a unit when the context is
// not transformed.  Options: hour, minute, second (integers, taken modulo
// 12, 60, 60), width and height (default the context's canvas), border
// (pixels; negative or left out: chosen from the size), and the colours
// bg, fg, ic, sc, hc, mc as any CSS colour.  A size the library refuses
// throws an Error named QuadfaceError with its message, and draws nothing.
// loadQuadface() must have finished first.
export function drawFace(context, options = {}) {
  const {
    hour = 0, minute = 0, second = 0,
    width = context.canvas?.width, height = context.canvas?.height, border = -1,
  } = options;
  paint(context, faceFills(hour, minute, second, width, height, border), penColours(options));
}

// ---------------------------------------------------------------------------
// The element.

const DEFAULT_SIZE = 80;
// Redraws come this many milliseconds after the wall clock's multiples of
// the interval, so that the second has surely turned.
const AFTER_TURN = 5;
// The longest delay setTimeout keeps; a longer one fires at once.
const LONGEST_TIMER = 2 ** 31 - 1;

const INT_MAX = 2 ** 31 - 1;

// An int as the library takes it: beyond its limits, the limit.
function saturate(n) {
  return Math.min(Math.max(n, -INT_MAX - 1), INT_MAX);
}

// An integer as atoi reads it ("12px" is 12), or the fallback for none.
function integer(value, fallback) {
  const n = Number.parseInt(value ?? '', 10);
  return Number.isFinite(n) ? saturate(n) : fallback;
}

// "H:MM:SS" from 0:00:00 to 23:59:59, or null.
function parseTime(text) {
  const match = /^\s*(\d{1,2}):(\d\d):(\d\d)\s*$/.exec(text);
  if (!match)
    return null;
  const [hour, minute, second] = match.slice(1).map(Number);
  return hour < 24 && minute < 60 && second < 60 ? [hour, minute, second] : null;
}

function settingError(message) {
  const error = new Error(message);
  error.name = 'QuadrantineError';
  return error;
}

// Reads the hour, minute and second now in a time zone through Intl.
function zoneClock(timeZone) {
  let format;
  try {
    format = new Intl.DateTimeFormat('en-US', {
      timeZone: timeZone ?? undefined, hourCycle: 'h23',
      hour: 'numeric', minute: 'numeric', second: 'numeric',
    });
  } catch {
    throw settingError(`quadrantine-clock: unknown time zone "${timeZone}"`);
  }
  return () => {
    const parts = { hour: 0, minute: 0, second: 0 };
    for (const part of format.formatToParts(Date.now()))
      if (part.type in parts)
        parts[part.type] = Number(part.value);
    return [parts.hour % 24, parts.minute, parts.second];
  };
}

const ATTRIBUTES = ['width', 'height', 'border', 'bg', 'fg', 'ic', 'sc', 'hc', 'mc',
  'time', 'timezone', 'interval'];

export const QuadrantineClock = globalThis.HTMLElement && class QuadrantineClock extends HTMLElement {
  static observedAttributes = ATTRIBUTES;

  #canvas;
  #context;
  #settings = null;   // what the attributes and the screen ask for
  #generation = 0;    // bumped on every restart and stop
  #timer = 0;
  #lastFills = null;  // what the canvas shows
  #ratioQuery = null;
  #restartSoon = false;

  constructor() {
    super();
    const root = this.attachShadow({ mode: 'open' });
    const style = document.createElement('style');
    style.textContent = ':host { display: inline-block; line-height: 0 } canvas { display: block }';
    this.#canvas = document.createElement('canvas');
    this.#canvas.setAttribute('part', 'canvas');
    root.append(style, this.#canvas);
    this.#context = this.#canvas.getContext('2d');
  }

  connectedCallback() {
    this.#restart();
  }

  disconnectedCallback() {
    this.#stop();
  }

  // Several attributes set in a row restart the clock once, and not at all
  // when it restarts anyway, as when it is put on the page.
  attributeChangedCallback() {
    if (!this.isConnected || this.#restartSoon)
      return;
    this.#restartSoon = true;
    queueMicrotask(() => {
      if (this.#restartSoon && this.isConnected)
        this.#restart();
    });
  }

  #onRatioChange = () => this.#restart();

  #stop() {
    this.#generation++;
    clearTimeout(this.#timer);
    this.#timer = 0;
    this.#ratioQuery?.removeEventListener('change', this.#onRatioChange);
    this.#ratioQuery = null;
  }

  #restart() {
    this.#restartSoon = false;
    this.#stop();
    const generation = this.#generation;
    const ratio = globalThis.devicePixelRatio || 1;
    const attribute = (name) => this.getAttribute(name);
    const cssWidth = integer(attribute('width'), DEFAULT_SIZE);
    const cssHeight = integer(attribute('height'), DEFAULT_SIZE);
    const border = integer(attribute('border'), -1);
    const settings = {
      ratio,
      width: saturate(Math.round(cssWidth * ratio)),
      height: saturate(Math.round(cssHeight * ratio)),
      border: border >= 0 ? saturate(Math.round(border * ratio)) : -1,
      colours: penColours({
        bg: attribute('bg'), fg: attribute('fg'), ic: attribute('ic'),
        sc: attribute('sc'), hc: attribute('hc'), mc: attribute('mc'),
      }),
      interval: Math.max(1, integer(attribute('interval'), 1)),
      time: null,
      clock: null,
      error: null,
    };
    try {
      if (this.hasAttribute('time')) {
        settings.time = parseTime(attribute('time'));
        if (!settings.time)
          throw settingError(`quadrantine-clock: invalid time "${attribute('time')}"`);
      } else {
        settings.clock = zoneClock(attribute('timezone'));
      }
    } catch (error) {
      settings.error = error;
    }
    this.#settings = settings;

    // Device pixels, as many as the screen shows in that many CSS pixels;
    // setting the size clears the canvas.
    const canvas = this.#canvas;
    canvas.width = Math.max(0, settings.width);
    canvas.height = Math.max(0, settings.height);
    canvas.style.width = `${Math.max(0, settings.width) / ratio}px`;
    canvas.style.height = `${Math.max(0, settings.height) / ratio}px`;
    this.#lastFills = null;

    if (globalThis.matchMedia) {
      this.#ratioQuery = matchMedia(`(resolution: ${ratio}dppx)`);
      this.#ratioQuery.addEventListener('change', this.#onRatioChange);
    }

    loadQuadface().then(() => {
      if (generation === this.#generation)
        this.#tick();
    }, (error) => {
      if (generation === this.#generation)
        this.#fail(error);
    });
  }

  // Draws if the picture has changed, and waits for the next redraw.  A
  // change of the pixel ratio that the media query did not report (not
  // every browser reports every change) starts again at the new one.
  #tick() {
    const s = this.#settings;
    if ((globalThis.devicePixelRatio || 1) !== s.ratio) {
      this.#restart();
      return;
    }
    if (s.error) {
      this.#fail(s.error);
      return;
    }
    const [hour, minute, second] = s.time ?? s.clock();
    let list;
    try {
      list = faceFills(hour, minute, second, s.width, s.height, s.border);
    } catch (error) {
      this.#fail(error);
      return;
    }
    if (!sameFills(list, this.#lastFills)) {
      paint(this.#context, list, s.colours);
      this.#lastFills = list;
    }
    if (s.time === null)
      this.#schedule();
  }

  // The next redraw, a little after the next multiple of the interval on
  // the wall clock; a timer never waits longer than the interval.
  #schedule() {
    const period = this.#settings.interval * 1000;
    const now = Date.now();
    const since = (((now - AFTER_TURN) % period) + period) % period;
    const generation = this.#generation;
    this.#timer = setTimeout(() => {
      if (generation === this.#generation)
        this.#tick();
    }, Math.min(period - since, LONGEST_TIMER));
  }

  // Nothing drawn, no more redraws, and an error event with the message.
  // A change of an attribute or of the screen's pixel ratio starts again.
  #fail(error) {
    clearTimeout(this.#timer);
    this.#timer = 0;
    this.#context.clearRect(0, 0, this.#canvas.width, this.#canvas.height);
    this.#lastFills = null;
    this.dispatchEvent(new ErrorEvent('error', { message: error.message, error }));
  }
};

if (QuadrantineClock && globalThis.customElements && !customElements.get('quadrantine-clock'))
  customElements.define('quadrantine-clock', QuadrantineClock);
