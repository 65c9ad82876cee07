// Figures of the web package in Debian's chromium (not part of the tests):
// the module's size, the time from navigation to an element's first
// picture, and the time of one redraw at 1920 x 1080.
//
//   node tests/web/bench.mjs build/web [runs]

import { chromium } from 'playwright-core';
import { createServer } from 'node:http';
import { statSync, readFileSync } from 'node:fs';
import { join } from 'node:path';

const packageDir = process.argv[2] ?? 'build/web';
const runs = Number(process.argv[3] ?? 21);

// Pages and the package from a server on the loopback address, as a page
// would get them from a nearby server.
let pageHtml = '';
const types = { '.js': 'text/javascript', '.wasm': 'application/wasm' };
const server = createServer((request, response) => {
  const path = new URL(request.url, 'http://localhost').pathname;
  if (path.startsWith('/web/')) {
    const name = path.slice(5);
    response.writeHead(200, { 'Content-Type': types[name.slice(name.lastIndexOf('.'))] ?? 'text/plain',
      'Cache-Control': 'no-store' });
    response.end(readFileSync(join(packageDir, name)));
  } else {
    response.writeHead(200, { 'Content-Type': 'text/html', 'Cache-Control': 'no-store' });
    response.end(pageHtml);
  }
});
await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
const ORIGIN = `http://127.0.0.1:${server.address().port}`;

const median = (values) => {
  const sorted = [...values].sort((a, b) => a - b);
  return sorted[Math.floor(sorted.length / 2)];
};
const ms = (value) => `${value.toFixed(2)} ms`;

const browser = await chromium.launch({
  executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium',
  chromiumSandbox: false,
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync',
    '--force-color-profile=srgb'],
});

// A page served from memory, with the package at /web/; every canvas's
// first fill over its whole size is timed from the navigation's start.
async function open(html) {
  pageHtml = html;
  const context = await browser.newContext({ deviceScaleFactor: 1 });
  await context.addInitScript(() => {
    const fillRect = CanvasRenderingContext2D.prototype.fillRect;
    CanvasRenderingContext2D.prototype.fillRect = function (x, y, w, h) {
      if (window.firstPicture === undefined && x === 0 && y === 0 && w === this.canvas.width)
        window.firstPicture = performance.now();
      return fillRect.call(this, x, y, w, h);
    };
  });
  const page = await context.newPage();
  await page.goto(`${ORIGIN}/page.html`);
  await page.waitForFunction(() => window.firstPicture !== undefined);
  // And how much of it came after the module's bytes had arrived.
  const times = await page.evaluate(() => {
    const wasm = performance.getEntriesByType('resource').find((e) => e.name.endsWith('.wasm'));
    return [window.firstPicture, wasm ? window.firstPicture - wasm.responseEnd : 0];
  });
  await context.close();
  return times;
}

const head = '<!doctype html><html><head><meta charset="utf-8">';
const clockPage = `${head}<script type="module" src="/web/quadrantine.js"></script></head>
<body><quadrantine-clock></quadrantine-clock></body></html>`;
// The same page's first fill without the package: what any canvas costs.
const plainPage = `${head}</head><body><canvas width="80" height="80"></canvas>
<script type="module">document.querySelector('canvas').getContext('2d').fillRect(0, 0, 80, 80);</script></body></html>`;

const clock = [];
const afterWasm = [];
const plain = [];
for (let i = 0; i < runs; i++) {
  const [first, after] = await open(clockPage);
  clock.push(first);
  afterWasm.push(after);
  plain.push((await open(plainPage))[0]);
}

// One redraw at 1920 x 1080: drawFace on a canvas (the calls only, and
// until the pixels are there), and the library with its glue alone.
pageHtml = `${head}</head><body></body></html>`;
const context = await browser.newContext({ deviceScaleFactor: 1 });
const page = await context.newPage();
await page.goto(`${ORIGIN}/page.html`);
const redraw = await page.evaluate(async (count) => {
  const { loadQuadface, drawFace } = await import('/web/quadrantine.js');
  await loadQuadface();
  const canvas = document.createElement('canvas');
  canvas.width = 1920;
  canvas.height = 1080;
  document.body.append(canvas);
  const context = canvas.getContext('2d');
  const colours = { bg: '#202020', ic: '#303030', fg: '#c8c8c8', hc: 'rgb(220 40 40)' };
  const nothing = { canvas, fillStyle: '', fillRect() {} };
  const median = (values) => values.sort((a, b) => a - b)[Math.floor(values.length / 2)];
  // Rounds of several redraws each, as the timer's resolution is coarse.
  const calls = [];
  const pixels = [];
  const glue = [];
  for (let i = 0; i < count; i++) {
    const time = (k) => ({ hour: 10, minute: 7, second: (i + k) % 60 });
    let t = performance.now();
    for (let k = 0; k < 50; k++)
      drawFace(context, { ...time(k), ...colours });
    calls.push((performance.now() - t) / 50);
    t = performance.now();
    for (let k = 0; k < 10; k++) {
      drawFace(context, { ...time(k), ...colours });
      context.getImageData(0, 0, 1, 1);
    }
    pixels.push((performance.now() - t) / 10);
    t = performance.now();
    for (let k = 0; k < 1000; k++)
      drawFace(nothing, time(k));
    glue.push((performance.now() - t) / 1000);
  }
  return { calls: median(calls), pixels: median(pixels), glue: median(glue) };
}, 21);
const version = browser.version();
await browser.close();
server.close();

console.log(`quadface.wasm: ${statSync(join(packageDir, 'quadface.wasm')).size} bytes; ` +
  `quadrantine.js: ${statSync(join(packageDir, 'quadrantine.js')).size} bytes`);
console.log(`first picture of an 80 x 80 clock, from the navigation's start: ${ms(median(clock))}, ` +
  `${ms(median(afterWasm))} of it after quadface.wasm arrived ` +
  `(a plain canvas's first fill: ${ms(median(plain))}), median of ${runs}`);
const us = (value) => `${(value * 1000).toFixed(2)} µs`;
console.log(`one redraw at 1920 x 1080: drawFace ${us(redraw.calls)}, ` +
  `until the pixels are there ${ms(redraw.pixels)}, the library and its glue alone ${us(redraw.glue)}`);
console.log(`chromium ${version}`);
