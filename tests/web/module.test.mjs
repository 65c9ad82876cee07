// The web package in Node: quadface.wasm's shape, its calls against the
// native library's over thousands of random cases, the glue's drawing on a
// 2D context, and the package folder as npm packs it.
//
// Environment: WEB_PACKAGE (the package folder in the build tree),
// TRACE_HOST (tests/web/trace_host.cc, built), PROJECT_VERSION (CMake's),
// SOURCE_DIR (for the README),
// WEB_CASES (random cases, default 20000), WEB_SEED (default fixed).

import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { readFileSync, statSync, existsSync, mkdtempSync, mkdirSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { pathToFileURL } from 'node:url';

const packageDir = process.env.WEB_PACKAGE;
const traceHost = process.env.TRACE_HOST;
assert.ok(packageDir && traceHost, 'WEB_PACKAGE and TRACE_HOST must be set');
const wasmPath = join(packageDir, 'quadface.wasm');
const wasmBytes = readFileSync(wasmPath);
const glue = await import(pathToFileURL(join(packageDir, 'quadrantine.js')));

const INT_MIN = -(2 ** 31);
const INT_MAX = 2 ** 31 - 1;

// The native host's lines for each case, one array per case.
function nativeCalls(cases) {
  const input = cases.map((c) => c.join(' ')).join('\n') + '\n';
  const out = execFileSync(traceHost, { input, maxBuffer: 1 << 30, encoding: 'latin1' });
  const result = [];
  let current = [];
  for (const line of out.split('\n')) {
    if (line === 'end') {
      result.push(current);
      current = [];
    } else if (line !== '') {
      current.push(line);
    }
  }
  assert.equal(result.length, cases.length, 'the native host answered every case');
  return result;
}

// The same lines from the module, called through its raw imports.
function wasmTracer() {
  let lines;
  let memory;
  const escape = (bytes) => Array.from(bytes, (b) =>
    b >= 0x20 && b < 0x7f && b !== 0x5c ? String.fromCharCode(b) : `\\x${b.toString(16).padStart(2, '0')}`).join('');
  const refusal = new Error('refused');
  const instance = new WebAssembly.Instance(new WebAssembly.Module(wasmBytes), {
    env: {
      face_set_pen: (pen) => lines.push(`pen ${pen}`),
      face_fill: (x0, y0, x1, y1) => lines.push(`fill ${x0} ${y0} ${x1} ${y1}`),
      face_layout_failure: (pointer) => {
        const bytes = new Uint8Array(memory.buffer);
        const end = bytes.indexOf(0, pointer);
        lines.push(`failure ${escape(bytes.subarray(pointer, end))}`);
        throw refusal;
      },
    },
  });
  memory = instance.exports.memory;
  return (c) => {
    lines = [];
    try {
      instance.exports.face_draw(...c);
    } catch (error) {
      if (error !== refusal)
        throw error;
    }
    return lines;
  };
}

// A small seeded generator (mulberry32), so that a failure can be repeated.
function generator(seed) {
  let a = seed >>> 0;
  return () => {
    a = (a + 0x6d2b79f5) >>> 0;
    let t = a;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 2 ** 32;
  };
}

// Random cases: times mostly of a day, sometimes any integer; sizes mostly
// of screens, some near the smallest, some refused; borders automatic,
// small, near the limit or far beyond it.
function randomCases(count, seed) {
  const random = generator(seed);
  const between = (lo, hi) => lo + Math.floor(random() * (hi - lo + 1));
  const pick = (choices) => {
    let r = random();
    for (const [weight, make] of choices) {
      if (r < weight)
        return make();
      r -= weight;
    }
    return choices[choices.length - 1][1]();
  };
  const anyInt = () => between(INT_MIN, INT_MAX);
  const time = (limit) => pick([[0.85, () => between(0, limit - 1)], [0.1, () => between(-1000, 1000)], [0.05, anyInt]]);
  const size = () => pick([
    [0.45, () => between(21, 300)],
    [0.3, () => between(300, 4000)],
    [0.1, () => between(4000, 20000)],
    [0.15, () => between(-40, 30)],
  ]);
  const border = (w, h) => pick([
    [0.35, () => -1],
    [0.1, () => between(INT_MIN, -2)],
    [0.3, () => between(0, 12)],
    [0.15, () => Math.max(0, Math.floor((Math.min(w, h) - 21) / 2) + between(-2, 2))],
    [0.1, () => between(0, INT_MAX)],
  ]);
  const cases = [];
  for (let i = 0; i < count; i++) {
    const w = size();
    const h = random() < 0.3 ? w : size();
    cases.push([time(12), time(60), time(60), w, h, border(w, h)]);
  }
  return cases;
}

// The cases where the picture or the refusal turns.
const edgeCases = [
  [10, 7, 30, 80, 80, -1],
  [0, 0, 0, 21, 21, -1],
  [11, 59, 59, 21, 21, 0],
  [3, 15, 0, 20, 80, -1],
  [3, 15, 0, 80, 20, -1],
  [3, 15, 0, 0, 0, -1],
  [3, 15, 0, -5, 100, -1],
  [3, 15, 0, INT_MIN, INT_MIN, -1],
  [6, 30, 0, 61, 61, 20],        // 61 - 40 = 21: the largest border
  [6, 30, 0, 61, 61, 21],        // one more: refused
  [6, 30, 0, 61, 100, 21],
  [6, 30, 0, 20, 20, 100],       // too small comes first
  [6, 30, 0, 100, 100, INT_MAX],
  [6, 30, 0, 100, 100, INT_MIN],
  [9, 45, 0, 1920, 1080, -1],
  [9, 45, 0, 1080, 1920, 18],
  [12, 60, 60, 8192, 8192, 200],
  [INT_MIN, INT_MIN, INT_MIN, 100, 60, -1],
  [INT_MAX, INT_MAX, INT_MAX, 60, 100, -1],
  [-1, -1, -1, 23, 59, -1],
  [0, 4, 59, 160, 160, -1],
  [0, 55, 0, 160, 120, 3],
];

test('quadface.wasm is small, imports the primitives and the failure path, exports face_draw and memory', () => {
  const size = statSync(wasmPath).size;
  assert.ok(size <= 8192, `quadface.wasm has ${size} bytes, more than 8 KiB`);
  const module = new WebAssembly.Module(wasmBytes);
  const sorted = (list) => list.map((e) => `${e.module ?? ''} ${e.name} ${e.kind}`).sort();
  assert.deepEqual(sorted(WebAssembly.Module.imports(module)), [
    'env face_fill function', 'env face_layout_failure function', 'env face_set_pen function']);
  assert.deepEqual(sorted(WebAssembly.Module.exports(module)), [' face_draw function', ' memory memory']);
});

test('the module calls the primitives exactly as the native library does', (t) => {
  const count = Number(process.env.WEB_CASES ?? 20000);
  const seed = Number(process.env.WEB_SEED ?? 19);
  const cases = [...edgeCases, ...randomCases(count, seed)];
  const native = nativeCalls(cases);
  const trace = wasmTracer();
  let refused = 0;
  let calls = 0;
  for (let i = 0; i < cases.length; i++) {
    const lines = trace(cases[i]);
    if (lines.length > 0 && lines[0].startsWith('failure'))
      refused++;
    calls += lines.length;
    assert.deepEqual(lines, native[i], `face_draw(${cases[i].join(', ')}), seed ${seed}, case ${i}`);
  }
  // The comparison must have seen both kinds of case in quantity.
  assert.ok(refused >= cases.length / 20, `only ${refused} refusals`);
  assert.ok(cases.length - refused >= cases.length / 2, `only ${cases.length - refused} drawings`);
  t.diagnostic(`${cases.length} cases compared (${cases.length - refused} drawn, ${refused} refused), ${calls} calls, seed ${seed}`);
});

// A 2D context that records what is painted: the colour and the rectangle
// of each fillRect.
function recordingContext(width, height) {
  const painted = [];
  return {
    canvas: { width, height },
    fillStyle: '#000000',
    fillRect(x, y, w, h) {
      painted.push([this.fillStyle, x, y, w, h]);
    },
    painted,
  };
}

// What the glue must paint for the native calls: rows from the top,
// both corners inside, empty fills left out, each in its pen's colour.
function expectedPaint(lines, height, colours) {
  const expected = [];
  let pen = -1;
  for (const line of lines) {
    const [kind, ...n] = line.split(' ');
    const v = n.map(Number);
    if (kind === 'pen') {
      pen = v[0];
    } else if (kind === 'fill') {
      const [x0, y0, x1, y1] = v;
      if (x1 >= x0 && y1 >= y0)
        expected.push([colours[pen], x0, height - 1 - y1, x1 - x0 + 1, y1 - y0 + 1]);
    }
  }
  return expected;
}

test('drawFace before the module is loaded says so', () => {
  assert.throws(() => glue.drawFace(recordingContext(80, 80), { hour: 1 }), /loadQuadface/);
});

test('drawFace paints the native fills on a 2D context', async (t) => {
  await glue.loadQuadface(wasmBytes);
  // Loading again gives the module already loaded.
  await glue.loadQuadface('this is not fetched');

  const white = 'white';
  const black = 'black';
  const colourCases = [
    [{}, [white, white, black, black, black]],
    [{ bg: 'navy' }, ['navy', 'navy', black, black, black]],
    [{ fg: 'red' }, [white, white, 'red', 'red', 'red']],
    [{ bg: '#202020', fg: '#c8c8c8', hc: 'rgb(220 40 40)' },
      ['#202020', '#202020', '#c8c8c8', 'rgb(220 40 40)', '#c8c8c8']],
    [{ bg: 'a', fg: 'b', ic: 'c', sc: 'd', hc: 'e', mc: 'f' }, ['a', 'c', 'd', 'e', 'f']],
  ];
  const drawCases = [...edgeCases, ...randomCases(2000, 7)];
  const native = nativeCalls(drawCases);
  let empty = 0;
  for (let i = 0; i < drawCases.length; i++) {
    const [hour, minute, second, width, height, border] = drawCases[i];
    const [given, colours] = colourCases[i % colourCases.length];
    const context = recordingContext(width, height);
    const options = { hour, minute, second, border, ...given };
    const refusal = native[i][0]?.startsWith('failure') ? native[i][0] : null;
    if (refusal) {
      // The library's text without its newline, and nothing painted.
      const message = refusal.slice('failure '.length).replace(/\\x0a$/, '');
      assert.throws(() => glue.drawFace(context, options), { name: 'QuadfaceError', message });
      assert.deepEqual(context.painted, []);
      continue;
    }
    glue.drawFace(context, options);
    const expected = expectedPaint(native[i], height, colours);
    empty += native[i].filter((l) => l.startsWith('fill')).length - expected.length;
    assert.deepEqual(context.painted, expected, `drawFace ${drawCases[i].join(', ')}`);
  }
  // Empty fills are common enough (the hour block on the hour) to be seen.
  assert.ok(empty > 0, 'no empty fill was met');
  t.diagnostic(`${drawCases.length} drawings checked, ${empty} empty fills skipped`);
});

test('drawFace takes its size from the canvas unless given', async () => {
  await glue.loadQuadface(wasmBytes);
  const [native] = nativeCalls([[4, 20, 0, 120, 90, -1]]);
  const context = recordingContext(120, 90);
  glue.drawFace(context, { hour: 4, minute: 20 });
  assert.deepEqual(context.painted, expectedPaint(native, 90, ['white', 'white', 'black', 'black', 'black']));
  const other = recordingContext(10, 10);
  glue.drawFace(other, { hour: 4, minute: 20, width: 120, height: 90 });
  assert.deepEqual(other.painted, context.painted);
});

test('the library refuses with its own messages, without the newline', async () => {
  await glue.loadQuadface(wasmBytes);
  const cases = [
    [{ width: 20, height: 80 }, 'Quadface: too small'],
    [{ width: 80, height: 80, border: 30 }, 'Quadface: border too large for size'],
  ];
  for (const [options, message] of cases) {
    const context = recordingContext(80, 80);
    assert.throws(() => glue.drawFace(context, options), { name: 'QuadfaceError', message });
    assert.deepEqual(context.painted, []);
  }
  // And the module draws on afterwards.
  const context = recordingContext(80, 80);
  glue.drawFace(context, {});
  assert.ok(context.painted.length > 0);
});

test('the package folder packs to the five files with the project version', () => {
  const manifest = JSON.parse(readFileSync(join(packageDir, 'package.json'), 'utf8'));
  const version = process.env.PROJECT_VERSION;
  assert.equal(manifest.name, 'quadrantine');
  assert.equal(manifest.version, /^\d+\.\d+$/.test(version) ? `${version}.0` : version);
  assert.equal(manifest.type, 'module');
  assert.equal(manifest.license, 'MIT');
  assert.equal(manifest.dependencies, undefined);
  for (const target of Object.values(manifest.exports))
    assert.ok(existsSync(join(packageDir, target)), `export ${target} is missing`);

  const [packed] = JSON.parse(execFileSync('npm', ['pack', '--dry-run', '--json', '--ignore-scripts'],
    { cwd: packageDir, encoding: 'utf8', stdio: ['ignore', 'pipe', 'pipe'] }));
  assert.deepEqual(packed.files.map((f) => f.path).sort(),
    ['LICENSE', 'README.md', 'package.json', 'quadface.wasm', 'quadrantine.js']);
  assert.equal(packed.name, 'quadrantine');
  assert.equal(packed.version, manifest.version);
});

test('the README\'s npm pack and npm install give a package that draws in Node', async () => {
  const manifest = JSON.parse(readFileSync(join(packageDir, 'package.json'), 'utf8'));
  const readme = readFileSync(join(process.env.SOURCE_DIR, 'README.md'), 'utf8');
  const tarball = `quadrantine-${manifest.version}.tgz`;
  for (const command of ['cd build/web && npm pack', `npm install ./${tarball}`])
    assert.ok(readme.includes(command), `README.md does not show: ${command}`);

  const work = mkdtempSync(join(tmpdir(), 'quadrantine-npm-'));
  try {
    const npm = (args, cwd) => execFileSync('npm', [...args, '--ignore-scripts', '--no-audit', '--no-fund', '--offline'],
      { cwd, encoding: 'utf8', stdio: ['ignore', 'pipe', 'pipe'] });
    npm(['pack', '--pack-destination', work], packageDir);
    assert.ok(existsSync(join(work, tarball)), `npm pack made no ${tarball}`);
    const project = join(work, 'project');
    mkdirSync(project);
    writeFileSync(join(project, 'package.json'), '{ "name": "a-page", "private": true, "type": "module" }\n');
    npm(['install', `../${tarball}`], project);
    // The installed package, by its name, in a Node of its own.
    const script = `import { loadQuadface, drawFace } from 'quadrantine';
      import { readFileSync } from 'node:fs';
      await loadQuadface(readFileSync(new URL('./node_modules/quadrantine/quadface.wasm', import.meta.url)));
      const painted = [];
      drawFace({ canvas: { width: 80, height: 80 }, fillRect: (...r) => painted.push(r) }, { hour: 10, minute: 7, second: 30 });
      console.log(JSON.stringify(painted));`;
    writeFileSync(join(project, 'draw.mjs'), script);
    const painted = JSON.parse(execFileSync(process.execPath, ['draw.mjs'], { cwd: project, encoding: 'utf8' }));
    const [native] = nativeCalls([[10, 7, 30, 80, 80, -1]]);
    assert.deepEqual(painted, expectedPaint(native, 80, [0, 0, 0, 0, 0]).map((r) => r.slice(1)));
  } finally {
    rmSync(work, { recursive: true, force: true });
  }
});
