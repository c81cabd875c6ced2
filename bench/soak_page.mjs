// The page's part of bench/soak.py: opens the one-file page in headless
// Chromium, lets it play for SECONDS and samples it every INTERVAL seconds;
// then presses Escape and waits for the show's end. Prints one JSON report:
// {"samples": [{at, heap, wasm, nodes, listeners, frames, memory}], "end":
// {state, ended, late, errors}}.
// Usage: node soak_page.mjs PAGE SECONDS INTERVAL
//
// Nothing here depends on how the page makes its sound. The WebAssembly
// memory is found by watching the module being instantiated; the heap is
// measured after a garbage collection, so that what grows is what is kept.
// The page counts the sound its audio thread had to play before the page
// had made it: stretches of silence put in (data-underruns) and the frames
// in them (data-late-frames) on its root element, read at the end.
import fs from 'node:fs';
import {createRequire} from 'node:module';
import path from 'node:path';
import {fileURLToPath} from 'node:url';

const root = path.dirname(path.dirname(fileURLToPath(import.meta.url)));
const require = createRequire(path.join(root, 'tests', 'web', 'package.json'));
const puppeteer = require('puppeteer-core');

const [pagePath, secondsText, intervalText] = process.argv.slice(2);
const seconds = Number(secondsText);
const interval = Number(intervalText);
const sleep = (s) => new Promise((resolve) => setTimeout(resolve, s * 1000));

// Keeps every WebAssembly.Memory the page's modules export or import, and
// counts the animation frames.
const watcher = `
  window.soakMemories = new Set();
  window.soakFrames = 0;
  const keep = (instance, imports) => {
    for (const value of Object.values(instance.exports)) {
      if (value instanceof WebAssembly.Memory) window.soakMemories.add(value);
    }
    for (const module of Object.values(imports || {})) {
      for (const value of Object.values(module || {})) {
        if (value instanceof WebAssembly.Memory) window.soakMemories.add(value);
      }
    }
  };
  const instantiate = WebAssembly.instantiate;
  WebAssembly.instantiate = async function(source, imports) {
    const result = await instantiate.call(this, source, imports);
    keep(result.instance || result, imports);
    return result;
  };
  if (WebAssembly.instantiateStreaming) {
    const streaming = WebAssembly.instantiateStreaming;
    WebAssembly.instantiateStreaming = async function(source, imports) {
      const result = await streaming.call(this, source, imports);
      keep(result.instance, imports);
      return result;
    };
  }
  const Instance = WebAssembly.Instance;
  WebAssembly.Instance = function(module, imports) {
    const instance = new Instance(module, imports);
    keep(instance, imports);
    return instance;
  };
  WebAssembly.Instance.prototype = Instance.prototype;
  const request = window.requestAnimationFrame.bind(window);
  window.requestAnimationFrame = (callback) => request((time) => {
    window.soakFrames++;
    callback(time);
  });`;

// Resident bytes of the browser and every process below it.
function treeMemory(pid) {
  const parents = new Map();
  for (const name of fs.readdirSync('/proc')) {
    if (!/^\d+$/.test(name)) continue;
    try {
      const stat = fs.readFileSync(`/proc/${name}/stat`, 'utf8');
      parents.set(Number(name), Number(stat.slice(stat.lastIndexOf(')') + 2).split(' ')[1]));
    } catch {
      // gone in between
    }
  }
  const tree = new Set([pid]);
  for (let grown = true; grown;) {
    grown = false;
    for (const [child, parent] of parents) {
      if (tree.has(parent) && !tree.has(child)) {
        tree.add(child);
        grown = true;
      }
    }
  }
  let bytes = 0;
  for (const member of tree) {
    try {
      const status = fs.readFileSync(`/proc/${member}/status`, 'utf8');
      bytes += Number(/VmRSS:\s+(\d+)/.exec(status)?.[1] ?? 0) * 1024;
    } catch {
      // gone in between
    }
  }
  return bytes;
}

const profile = fs.mkdtempSync(path.join(process.env.TMPDIR || '/tmp', 'soak-chromium-'));
const browser = await puppeteer.launch({
  executablePath: '/usr/lib/chromium/chromium',
  headless: true,
  userDataDir: profile,
  protocolTimeout: 600000,
  args: ['--no-sandbox', '--disable-background-networking', '--disable-component-update', '--disable-sync',
         '--no-first-run', '--disable-quic', '--enable-unsafe-swiftshader', '--use-angle=swiftshader',
         '--autoplay-policy=no-user-gesture-required'],
});
const report = {samples: [], end: {errors: []}};
try {
  const page = await browser.newPage();
  page.on('pageerror', (error) => report.end.errors.push(String(error)));
  await page.setViewport({width: 640, height: 480, deviceScaleFactor: 1});
  await page.evaluateOnNewDocument(watcher);
  const session = await page.createCDPSession();
  await page.goto('file://' + path.resolve(pagePath));
  await page.waitForFunction(() => document.documentElement.dataset.show === 'running', {timeout: 120000});
  const begun = Date.now();
  for (let n = 0; ; ++n) {
    await session.send('HeapProfiler.collectGarbage');
    const metrics = await page.metrics();
    const inside = await page.evaluate(() => ({
      wasm: [...window.soakMemories].reduce((sum, memory) => sum + memory.buffer.byteLength, 0),
      frames: window.soakFrames,
      state: document.documentElement.dataset.show,
    }));
    if (inside.state !== 'running') throw new Error(`the page left its show: data-show is "${inside.state}"`);
    report.samples.push({at: (Date.now() - begun) / 1000, heap: metrics.JSHeapUsedSize, wasm: inside.wasm,
                         nodes: metrics.Nodes, listeners: metrics.JSEventListeners, frames: inside.frames,
                         memory: treeMemory(browser.process().pid)});
    const next = begun + (n + 1) * interval * 1000;
    if (next > begun + seconds * 1000) break;
    await sleep(Math.max(0, next - Date.now()) / 1000);
  }
  const late = await page.evaluate(() => [document.documentElement.dataset.underruns,
                                            document.documentElement.dataset.lateFrames]);
  report.end.late = late[0] === undefined ? null : {stretches: Number(late[0]), frames: Number(late[1])};
  const escape = Date.now();
  await page.keyboard.press('Escape');
  try {
    await page.waitForFunction(() => document.documentElement.dataset.show === 'ended', {timeout: 30000});
  } catch {
    // the state below says where it stopped
  }
  report.end.ended = (Date.now() - escape) / 1000;
  report.end.state = await page.evaluate(() => document.documentElement.dataset.show);
} finally {
  await browser.close();
  fs.rmSync(profile, {recursive: true, force: true});
}
process.stdout.write(JSON.stringify(report) + '\n');
