// The <quadrantine-clock> element in a real browser: Debian's chromium,
// headless, driven by playwright-core.  Its pixels, read back from the
// canvas and taken by screenshot, are compared with quadrix-image's
// pictures, both decoded by Pillow; the clock's time, time zones, timers,
// errors, a device pixel ratio of 2 and the demo page.
//
// Environment: WEB_PACKAGE, TRACE_HOST, QUADRIX_IMAGE, SOURCE_DIR (set by
// CTest), CHROMIUM (default /usr/bin/chromium).

import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { existsSync, readFileSync } from 'node:fs';
import { join, normalize } from 'node:path';
import { fileURLToPath } from 'node:url';

let chromium;
try {
  ({ chromium } = await import('playwright-core'));
} catch {
  throw new Error('playwright-core is missing: run scripts/install-deps (npm ci in tests/web)');
}

const packageDir = process.env.WEB_PACKAGE;
const traceHost = process.env.TRACE_HOST;
const quadrixImage = process.env.QUADRIX_IMAGE;
const sourceDir = process.env.SOURCE_DIR;
assert.ok(packageDir && traceHost && quadrixImage && sourceDir,
  'WEB_PACKAGE, TRACE_HOST, QUADRIX_IMAGE and SOURCE_DIR must be set');
const rgbScript = join(fileURLToPath(new URL('.', import.meta.url)), 'rgb.py');

const ORIGIN = 'http://quadrantine.test';
const AFTER_TURN = 5;  // ms after the turn of the interval, as the element waits
// The fake clock's time in several tests: 12:34:56.500 UTC.
const T0 = Date.parse('2026-07-01T12:34:56.500Z');

let browser;
before(async () => {
  browser = await chromium.launch({
    executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium',
    chromiumSandbox: false,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
      '--force-color-profile=srgb'],
  });
});
after(async () => {
  await browser?.close();
});

// A context whose origin serves the package at /web/, the demo at
// /docs/web/, the package again at /build/web/ (where the demo finds it
// when the source tree is served) and the page given at /page.html.
async function open(html, contextOptions = {}, beforeLoad = async () => {}) {
  const context = await browser.newContext({ deviceScaleFactor: 1, timezoneId: 'UTC', ...contextOptions });
  await context.route(`${ORIGIN}/**`, (route) => {
    const path = new URL(route.request().url()).pathname;
    if (path === '/page.html')
      return route.fulfill({ body: html, contentType: 'text/html' });
    const roots = [['/web/', packageDir], ['/build/web/', packageDir], ['/docs/web/', join(sourceDir, 'docs/web')]];
    for (const [prefix, dir] of roots) {
      if (!path.startsWith(prefix))
        continue;
      const file = normalize(join(dir, path.slice(prefix.length) || 'index.html'));
      if (file.startsWith(dir) && existsSync(file))
        return route.fulfill({ path: file });
    }
    return route.fulfill({ status: 404, body: 'not found' });
  });
  const page = await context.newPage();
  const problems = [];
  page.on('pageerror', (error) => problems.push(`page error: ${error.message}`));
  page.on('console', (message) => {
    if (message.type() === 'error')
      problems.push(`console: ${message.text()}`);
  });
  await beforeLoad(page);
  await page.goto(html === null ? `${ORIGIN}/docs/web/` : `${ORIGIN}/page.html`);
  return { context, page, problems };
}

// A page with clocks at known places: each entry is [id, attributes, left, top].
function pageWith(clocks, script = '') {
  const items = clocks.map(([id, attributes, left, top]) => {
    const text = Object.entries(attributes).map(([k, v]) => ` ${k}="${v}"`).join('');
    return `<quadrantine-clock id="${id}"${text} style="position:absolute;left:${left}px;top:${top}px"></quadrantine-clock>`;
  }).join('\n');
  return `<!doctype html><html><head><meta charset="utf-8">
<style>html, body { margin: 0; background: #fff }</style>
<script type="module" src="/web/quadrantine.js"></script></head>
<body>${items}<script>${script}</script></body></html>`;
}

// Waits until every clock named has painted its background.
async function drawn(page, ids) {
  await page.waitForFunction((names) => names.every((id) => {
    const canvas = document.getElementById(id)?.shadowRoot?.querySelector('canvas');
    return canvas && canvas.width > 0 && canvas.getContext('2d').getImageData(0, 0, 1, 1).data[3] === 255;
  }), ids);
}

// The canvas of a clock: its size, its RGBA bytes and its CSS box.
async function canvasOf(page, id) {
  const result = await page.evaluate((name) => {
    const canvas = document.getElementById(name).shadowRoot.querySelector('canvas');
    const data = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
    let text = '';
    for (let i = 0; i < data.length; i += 0x8000)
      text += String.fromCharCode(...data.subarray(i, i + 0x8000));
    const box = document.getElementById(name).getBoundingClientRect();
    return { width: canvas.width, height: canvas.height, rgba: btoa(text),
      box: { x: box.x, y: box.y, width: box.width, height: box.height } };
  }, id);
  result.rgba = Buffer.from(result.rgba, 'base64');
  return result;
}

function decode(bytes) {
  const out = execFileSync('/usr/bin/python3', [rgbScript, '-'], { input: bytes, maxBuffer: 1 << 28 });
  const newline = out.indexOf(10);
  const [width, height] = out.subarray(0, newline).toString().split(' ').map(Number);
  return { width, height, rgb: out.subarray(newline + 1) };
}

// quadrix-image's picture, decoded: pens are [bg, ic, sc, hc, mc] as RGB.
const WHITE = [255, 255, 255];
const BLACK = [0, 0, 0];
const DEFAULT_PENS = [WHITE, WHITE, BLACK, BLACK, BLACK];
function reference({ width, height, border, pens = DEFAULT_PENS, time }) {
  const args = ['-', '-q', '-width', width, '-height', height];
  if (border !== undefined)
    args.push('-border', border);
  ['-bg', '-ic', '-sc', '-hc', '-mc'].forEach((option, i) => args.push(option, ...pens[i]));
  args.push(...time);
  return decode(execFileSync(quadrixImage, args.map(String), { maxBuffer: 1 << 28 }));
}

function rgbOf(rgba) {
  const rgb = Buffer.alloc(rgba.length / 4 * 3);
  for (let i = 0, j = 0; i < rgba.length; i += 4, j += 3) {
    assert.equal(rgba[i + 3], 255, 'a pixel of the canvas is not opaque');
    rgb[j] = rgba[i];
    rgb[j + 1] = rgba[i + 1];
    rgb[j + 2] = rgba[i + 2];
  }
  return rgb;
}

// The canvas equals the picture, read back and on the screen.
async function assertPicture(page, id, expected, what) {
  const canvas = await canvasOf(page, id);
  assert.deepEqual([canvas.width, canvas.height], [expected.width, expected.height], `${what}: canvas size`);
  assert.ok(rgbOf(canvas.rgba).equals(expected.rgb), `${what}: the canvas's pixels differ from quadrix-image's`);
  const shot = decode(await page.screenshot({ clip: canvas.box, scale: 'device' }));
  assert.deepEqual([shot.width, shot.height], [expected.width, expected.height], `${what}: screenshot size`);
  assert.ok(shot.rgb.equals(expected.rgb), `${what}: the screenshot differs from quadrix-image's picture`);
  return canvas;
}

test('clocks at known places show quadrix-image\'s pictures, byte for byte', async (t) => {
  const navy = [0, 0, 128];
  const cases = [
    // id, element attributes, left, top, quadrix-image's picture
    ['plain', { time: '10:07:30' }, 0, 0, { width: 80, height: 80, time: [10, 7, 30] }],
    ['navy', { width: '160px', height: 120, border: 3, time: '3:15:00', bg: 'navy', fg: 'white' }, 100, 10,
      { width: 160, height: 120, border: 3, time: [3, 15, 0], pens: [navy, navy, WHITE, WHITE, WHITE] }],
    ['every', { width: 200, height: 200, time: '21:45:10', bg: '#202020', ic: 'rgb(48, 48, 48)',
      sc: '#c8c8c8', hc: 'rgb(220 40 40)', mc: 'darkgreen' }, 280, 0,
    { width: 200, height: 200, time: [21, 45, 10],
      pens: [[32, 32, 32], [48, 48, 48], [200, 200, 200], [220, 40, 40], [0, 100, 0]] }],
    ['smallest', { width: 21, height: 21, time: '23:59:59' }, 0, 100, { width: 21, height: 21, time: [23, 59, 59] }],
    ['wide', { width: 300, height: 90, border: 0, time: '12:00:00', fg: 'rebeccapurple' }, 500, 20,
      { width: 300, height: 90, border: 0, time: [12, 0, 0], pens: [WHITE, WHITE, [102, 51, 153], [102, 51, 153], [102, 51, 153]] }],
    ['tall', { width: 90, height: 300, time: '6:30:45', ic: 'yellow' }, 30, 220,
      { width: 90, height: 300, time: [6, 30, 45], pens: [WHITE, [255, 255, 0], BLACK, BLACK, BLACK] }],
    ['large', { width: 640, height: 400, border: 10, time: '0:04:59', bg: 'black', fg: 'yellow', ic: '#333' }, 150, 240,
      { width: 640, height: 400, border: 10, time: [0, 4, 59],
        pens: [BLACK, [51, 51, 51], [255, 255, 0], [255, 255, 0], [255, 255, 0]] }],
    // A colour that is no CSS colour is left out, as quadrix-x leaves out a
    // colour name it does not know: the inside follows bg again.
    ['unknown colour', { time: '4:20:00', bg: 'navy', ic: 'no-such-colour' }, 820, 200,
      { width: 80, height: 80, time: [4, 20, 0], pens: [navy, navy, BLACK, BLACK, BLACK] }],
  ].map(([id, ...rest]) => [id.replace(' ', '-'), ...rest]);
  const { context, page, problems } = await open(pageWith(cases.map(([id, attributes, left, top]) => [id, attributes, left, top])),
    { viewport: { width: 1000, height: 700 } });
  await drawn(page, cases.map(([id]) => id));
  for (const [id, , left, top, picture] of cases) {
    const canvas = await assertPicture(page, id, reference(picture), id);
    assert.deepEqual(canvas.box, { x: left, y: top, width: picture.width, height: picture.height }, `${id}: its place`);
  }
  assert.deepEqual(problems, []);
  t.diagnostic(`${cases.length} clocks equal quadrix-image's pictures`);
  await context.close();
});

test('a device pixel ratio of 2: twice the pixels, the face drawn at that size', async () => {
  const cases = [
    ['bordered', { width: 100, height: 80, border: 3, time: '8:40:20', hc: 'red' }, 10, 10,
      { width: 200, height: 160, border: 6, time: [8, 40, 20], pens: [WHITE, WHITE, BLACK, [255, 0, 0], BLACK] }],
    ['automatic', { time: '2:05:00' }, 150, 10, { width: 160, height: 160, time: [2, 5, 0] }],
    // 15 CSS pixels are 30 pixels on this screen: the library takes them.
    ['small', { width: 15, height: 15, time: '7:00:00' }, 10, 120, { width: 30, height: 30, time: [7, 0, 0] }],
  ];
  const { context, page, problems } = await open(pageWith(cases.map(([id, attributes, left, top]) => [id, attributes, left, top])),
    { deviceScaleFactor: 2 });
  assert.equal(await page.evaluate(() => devicePixelRatio), 2);
  await drawn(page, cases.map(([id]) => id));
  for (const [id, attributes, left, top, picture] of cases) {
    const canvas = await assertPicture(page, id, reference(picture), id);
    assert.deepEqual(canvas.box, { x: left, y: top, width: attributes.width ?? 80, height: attributes.height ?? 80 },
      `${id}: its size in CSS pixels`);
  }
  // The screen's ratio changes (the window moves to another screen): a
  // running clock draws again at the new one by its next redraw.
  await page.clock.install({ time: T0 });
  await page.evaluate(() => {
    const clock = document.createElement('quadrantine-clock');
    clock.id = 'running';
    clock.setAttribute('width', '50');
    document.body.append(clock);
  });
  await drawn(page, ['running']);
  const widthOf = (id) => page.evaluate((name) => document.getElementById(name).shadowRoot.querySelector('canvas').width, id);
  assert.equal(await widthOf('running'), 100);
  const cdp = await context.newCDPSession(page);
  await cdp.send('Emulation.setDeviceMetricsOverride', { width: 1280, height: 720, deviceScaleFactor: 1, mobile: false });
  await page.clock.runFor(1000);
  await drawn(page, ['running']);
  const time = new Date(await page.evaluate(() => Date.now()));
  // Read back only: screenshots keep the context's scale of 2.
  const canvas = await canvasOf(page, 'running');
  assert.deepEqual([canvas.width, canvas.height], [50, 80]);
  assert.ok(rgbOf(canvas.rgba).equals(reference({ width: 50, height: 80,
    time: [time.getUTCHours(), time.getUTCMinutes(), time.getUTCSeconds()] }).rgb), 'running at a ratio of 1');
  assert.deepEqual(problems, []);
  await context.close();
});

// The calls of the native library for each case, as one text per case.
function nativePictures(cases) {
  const out = execFileSync(traceHost, { input: cases.map((c) => c.join(' ')).join('\n') + '\n', encoding: 'latin1' });
  return out.split('end\n').slice(0, cases.length);
}

test('without time: the time now, in the browser\'s time zone or the one given', async () => {
  const clocks = [
    ['local', { width: 200, height: 200 }, 0, 0],
    ['new-york', { width: 200, height: 200, timezone: 'America/New_York' }, 210, 0],
    ['utc', { width: 200, height: 200, timezone: 'UTC' }, 420, 0],
    ['adelaide', { width: 200, height: 200, timezone: 'Australia/Adelaide' }, 630, 0],
  ];
  const { context, page, problems } = await open(pageWith(clocks), { timezoneId: 'Asia/Kolkata' },
    (p) => p.clock.install({ time: T0 - 30_000 }));
  await drawn(page, clocks.map(([id]) => id));
  await page.clock.pauseAt(T0);
  // 12:34:56 UTC; Kolkata is 5:30 ahead, New York (summer) 4 behind,
  // Adelaide (winter) 9:30 ahead.
  const expected = { local: [18, 4, 56], 'new-york': [8, 34, 56], utc: [12, 34, 56], adelaide: [22, 4, 56] };
  for (const [id, time] of Object.entries(expected))
    await assertPicture(page, id, reference({ width: 200, height: 200, time }), `${id} at ${time.join(':')}`);

  // A minute and a second on, each shows its new time.
  await page.clock.runFor(61_000);
  for (const [id, [h, m, s]] of Object.entries(expected)) {
    const time = [h, m + 1, s + 1];
    await assertPicture(page, id, reference({ width: 200, height: 200, time }), `${id} at ${time.join(':')}`);
  }
  assert.deepEqual(problems, []);
  await context.close();
});

test('without time, on the real clock: the picture of the second it is', async () => {
  const { context, page, problems } = await open(pageWith([['now', { width: 240, height: 240 }, 0, 0]]));
  await drawn(page, ['now']);
  let matched = false;
  for (let attempt = 0; attempt < 5 && !matched; attempt++) {
    // Read in the middle of a second, well after its redraw.
    await page.waitForFunction(() => Date.now() % 1000 > 300 && Date.now() % 1000 < 700);
    const before = await page.evaluate(() => Date.now());
    const canvas = await canvasOf(page, 'now');
    const after = await page.evaluate(() => Date.now());
    if (Math.floor(before / 1000) !== Math.floor(after / 1000))
      continue;
    const date = new Date(before);
    const time = [date.getUTCHours(), date.getUTCMinutes(), date.getUTCSeconds()];
    matched = rgbOf(canvas.rgba).equals(reference({ width: 240, height: 240, time }).rgb);
  }
  assert.ok(matched, 'the clock did not show the time of the second it was read in');
  assert.deepEqual(problems, []);
  await context.close();
});

// Records, in the page, the start of every painting of a clock (its
// background fill over the whole canvas) and the delay of every timer set.
const recorder = () => {
  window.paints = [];
  window.timers = [];
  const fillRect = CanvasRenderingContext2D.prototype.fillRect;
  CanvasRenderingContext2D.prototype.fillRect = function (x, y, w, h) {
    if (x === 0 && y === 0 && w === this.canvas.width && h === this.canvas.height)
      window.paints.push({ id: this.canvas.getRootNode().host?.id, t: Date.now() });
    return fillRect.call(this, x, y, w, h);
  };
  const setTimeout = window.setTimeout;
  window.setTimeout = function (callback, delay, ...rest) {
    window.timers.push(delay);
    return setTimeout.call(this, callback, delay, ...rest);
  };
};

test('redraws: on the turn of the interval, only when the picture changes, none once removed', async (t) => {
  const clocks = [
    ['big', { width: 400, height: 400 }, 0, 0],
    ['small', { width: 80, height: 80 }, 410, 0],
    ['five', { width: 400, height: 400, interval: 5 }, 0, 410],
    ['still', { width: 400, height: 400, time: '1:02:03' }, 410, 410],
  ];
  const start = T0 - 20_000;
  const { context, page, problems } = await open(pageWith(clocks), {}, async (p) => {
    await p.clock.install({ time: start });
    await p.addInitScript(recorder);
  });
  await drawn(page, clocks.map(([id]) => id));
  await page.clock.pauseAt(T0);
  await page.evaluate(() => {
    window.paints.length = 0;
    window.timers.length = 0;
  });
  const seconds = 120;
  await page.clock.runFor(seconds * 1000);
  const { paints, timers } = await page.evaluate(() => ({ paints: window.paints, timers: window.timers }));

  // Each clock paints exactly when its picture differs from the one of the
  // redraw before, as the native library draws them.  The first redraw
  // counted is the last one before T0, whose picture is already shown.
  const expectedPaints = (size, interval) => {
    const times = [];
    for (let s = Math.floor((T0 - AFTER_TURN) / (interval * 1000)) * interval;
      s * 1000 + AFTER_TURN <= T0 + seconds * 1000; s += interval)
      times.push(s);
    const pictures = nativePictures(times.map((s) => {
      const d = new Date(s * 1000);
      return [d.getUTCHours(), d.getUTCMinutes(), d.getUTCSeconds(), size, size, -1];
    }));
    return times.filter((s, i) => i > 0 && pictures[i] !== pictures[i - 1]).map((s) => s * 1000 + AFTER_TURN);
  };
  const paintedAt = (id) => paints.filter((p) => p.id === id).map((p) => p.t);
  const expected = { big: expectedPaints(400, 1), small: expectedPaints(80, 1), five: expectedPaints(400, 5), still: [] };
  for (const [id, times] of Object.entries(expected))
    assert.deepEqual(paintedAt(id), times, `${id}: the times of its paintings`);
  // The large clock's bars grow every second; the small one's do not.
  assert.ok(expected.big.length > seconds * 0.75, `big painted ${expected.big.length} times`);
  assert.ok(expected.small.length < seconds / 2, `small painted ${expected.small.length} times`);
  // Three clocks wait: each redraw sets one timer, to the next turn of its
  // interval, never longer.
  const counts = {};
  for (const delay of timers)
    counts[delay] = (counts[delay] ?? 0) + 1;
  assert.deepEqual(counts, { 1000: seconds * 2, 5000: seconds / 5 }, 'the timers set, by delay');
  t.diagnostic(`in ${seconds} s: big ${expected.big.length}, small ${expected.small.length}, five ${expected.five.length}, still 0 paintings`);

  // Removed: no timer, no painting.  Back on the page: it goes on.
  await page.evaluate(() => {
    for (const id of ['big', 'small', 'five'])
      document.getElementById(id).remove();
    window.paints.length = 0;
    window.timers.length = 0;
  });
  await page.clock.runFor(30_000);
  assert.deepEqual(await page.evaluate(() => [window.paints.length, window.timers.length]), [0, 0],
    'removed clocks still paint or set timers');
  await page.evaluate(() => document.body.append(document.createElement('quadrantine-clock')));
  await page.waitForFunction(() => window.paints.length === 1 && window.timers.length === 1);
  await page.clock.runFor(10_000);
  assert.equal(await page.evaluate(() => window.timers.length), 11);
  assert.deepEqual(problems, []);
  await context.close();
});

test('a setting the clock cannot draw: nothing drawn and an error event', async () => {
  const cases = [
    ['narrow', { width: 20 }, 'Quadface: too small'],
    ['low', { height: 10, time: '1:00:00' }, 'Quadface: too small'],
    ['bordered', { width: 100, height: 100, border: 40 }, 'Quadface: border too large for size'],
    ['time', { time: '24:00:00' }, 'quadrantine-clock: invalid time "24:00:00"'],
    ['zone', { timezone: 'Mars/Olympus_Mons' }, 'quadrantine-clock: unknown time zone "Mars/Olympus_Mons"'],
  ];
  const ids = cases.map(([id]) => id);
  // Listeners from a classic script, which runs before the module.
  const script = `window.errors = {};
    for (const id of ${JSON.stringify([...ids, 'good'])})
      document.getElementById(id).addEventListener('error', (event) =>
        (window.errors[id] ??= []).push({ message: event.message, errorEvent: event instanceof ErrorEvent,
          bubbles: event.bubbles }));`;
  const { context, page } = await open(pageWith(
    [...cases.map(([id, attributes], i) => [id, attributes, 0, i * 110]), ['good', {}, 200, 0]], script),
  {}, (p) => p.clock.install({ time: T0 }));
  await drawn(page, ['good']);
  await page.waitForFunction((names) => names.every((id) => window.errors[id]), ids);
  await page.clock.runFor(5_000);
  const errors = await page.evaluate(() => window.errors);
  for (const [id, , message] of cases) {
    assert.deepEqual(errors[id], [{ message, errorEvent: true, bubbles: false }], `${id}: one error event`);
    const canvas = await canvasOf(page, id);
    assert.ok(canvas.rgba.every((b) => b === 0), `${id}: something is drawn`);
  }
  assert.equal(errors.good, undefined);

  // A size it can draw, set later, is drawn.
  await page.evaluate(() => document.getElementById('narrow').setAttribute('width', '21'));
  await drawn(page, ['narrow']);
  const canvas = await canvasOf(page, 'narrow');
  assert.equal(canvas.width, 21);
  await context.close();
});

test('the demo page shows its clocks without an error', async () => {
  const { context, page, problems } = await open(null);
  const ids = await page.evaluate(() => Array.from(document.querySelectorAll('quadrantine-clock[id]'), (e) => e.id));
  assert.ok(ids.length >= 3, `the demo has ${ids.length} clocks with an id`);
  await drawn(page, ids);
  // The canvas drawn with drawFace, without the element.
  await page.waitForFunction(() => {
    const canvas = document.querySelector('canvas#own');
    return canvas && canvas.getContext('2d').getImageData(0, 0, 1, 1).data[3] === 255;
  });
  assert.deepEqual(problems, []);
  await context.close();
});

test('the README\'s example page draws its clocks', async () => {
  const readme = readFileSync(join(sourceDir, 'README.md'), 'utf8');
  const block = /```html\n([^`]*<quadrantine-clock[^`]*)```/.exec(readme);
  assert.ok(block, 'README.md has no html example with <quadrantine-clock>');
  const example = block[1].replace('src="quadrantine.js"', 'src="/web/quadrantine.js"');
  assert.notEqual(example, block[1], 'the example does not load quadrantine.js beside the page');
  const html = `<!doctype html><html><head><meta charset="utf-8"><style>body { margin: 0 }</style></head><body>
${example}<script>document.querySelectorAll('quadrantine-clock').forEach((e, i) => {
  e.id = 'clock' + i;
  e.addEventListener('error', (event) => console.error(event.message));
});</script></body></html>`;
  const { context, page, problems } = await open(html);
  const count = await page.evaluate(() => document.querySelectorAll('quadrantine-clock').length);
  assert.equal(count, 3);
  await drawn(page, ['clock0', 'clock1', 'clock2']);
  // The still one, in quadrix-image's colours of the README's wallpaper.
  const grey = [200, 200, 200];
  await assertPicture(page, 'clock2', reference({ width: 80, height: 80, time: [10, 7, 30],
    pens: [[32, 32, 32], [48, 48, 48], grey, [220, 40, 40], grey] }), 'the README\'s still clock');
  assert.deepEqual(problems, []);
  await context.close();
});
