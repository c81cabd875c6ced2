// Drives the web build of the intro in headless Chromium, as a person would
// with a browser, for the tests (web_page_test.py) and the benchmark
// (bench/web_page.py). Usage: node drive.mjs PLAN.json; prints one JSON
// report on standard output.
//
// The plan: {"chromium": PATH, "site": FOLDER, "visits": [VISIT, ...]}, where
// FOLDER holds quandrix.html/.js/.wasm, served at http://localhost/ straight
// from the folder (requests are answered inside the browser; no server and
// no network). A visit opens quandrix.html#FRAGMENT in a fresh page of
// 640 x 480 pixels (or "viewport": [WIDTH, HEIGHT]) and runs its steps in
// order:
//   {"state": S, "timeout": SECONDS}  wait until the page's data-show is S
//   {"sleep": SECONDS}
//   {"screenshot": PATH}               the canvas as PNG
//   {"page": PATH}                     the whole page as PNG
//   {"click": true}                    a left click in the canvas's middle
//   {"key": NAME}                      a key held for 0.4 s (puppeteer's key names)
//   {"close": true}                    the page's beforeunload event, as when it is closed
//   {"frames": SECONDS}                counts the display frames drawn for SECONDS
// Each step's report gives "started" and "at" (seconds since the page was
// opened, before and after it) and, for "frames", "count" and "busy" (the
// seconds spent inside those frames' callbacks, on the page's own thread). A visit reports its steps, the console messages
// ({"type", "text"}), uncaught page errors, failed requests, the first
// animation frame after the module started ("firstFrame", seconds), and the
// exit status once the show has ended.
import fs from 'node:fs';
import path from 'node:path';
import puppeteer from 'puppeteer-core';

const plan = JSON.parse(fs.readFileSync(process.argv[2], 'utf8'));
const origin = 'http://localhost/';
const types = {'.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm'};

// Counts animation frames from the first one that runs after the module's
// main has started the show (data-show leaves "loading").
const frameCounter = `
  window.quandrixFrames = 0;
  window.quandrixBusy = 0;  // milliseconds spent inside the frame callbacks
  window.quandrixFirstFrame = null;
  const request = window.requestAnimationFrame.bind(window);
  window.requestAnimationFrame = (callback) => request((time) => {
    const begun = performance.now();
    callback(time);
    if (document.documentElement.dataset.show === 'loading') return;
    if (window.quandrixFirstFrame === null) window.quandrixFirstFrame = performance.now() / 1000;
    window.quandrixFrames++;
    window.quandrixBusy += performance.now() - begun;
  });`;

async function serve(request) {
  const url = new URL(request.url());
  const file = path.join(plan.site, path.basename(url.pathname));
  if (url.origin + '/' !== origin || !fs.existsSync(file)) return request.respond({status: 404, body: ''});
  return request.respond({status: 200, contentType: types[path.extname(file)] || 'application/octet-stream',
                          body: fs.readFileSync(file)});
}

async function waitForState(page, state, seconds) {
  await page.waitForFunction((s) => document.documentElement.dataset.show === s, {timeout: seconds * 1000}, state);
}

async function visit(browser, wanted) {
  const page = await browser.newPage();
  const report = {fragment: wanted.fragment, console: [], errors: [], failed: [], steps: []};
  page.on('console', (message) => report.console.push({type: message.type(), text: message.text()}));
  page.on('pageerror', (error) => report.errors.push(String(error)));
  page.on('requestfailed', (request) => report.failed.push(request.url()));
  const [width, height] = wanted.viewport || [640, 480];
  await page.setViewport({width, height, deviceScaleFactor: 1});
  await page.setRequestInterception(true);
  page.on('request', serve);
  await page.evaluateOnNewDocument(frameCounter);
  const opened = Date.now();
  const now = () => (Date.now() - opened) / 1000;
  await page.goto(origin + 'quandrix.html' + (wanted.fragment ? '#' + wanted.fragment : ''));
  for (const step of wanted.steps) {
    const done = {...step, started: now()};
    if (step.state) await waitForState(page, step.state, step.timeout || 60);
    if (step.sleep) await new Promise((resolve) => setTimeout(resolve, step.sleep * 1000));
    if (step.screenshot) {
      const canvas = await page.$('#canvas');
      await canvas.screenshot({path: step.screenshot, type: 'png'});
    }
    if (step.page) await page.screenshot({path: step.page, type: 'png'});
    if (step.click) await page.mouse.click(320, 240);
    if (step.key) {
      await page.keyboard.down(step.key);
      await new Promise((resolve) => setTimeout(resolve, 400));
      await page.keyboard.up(step.key);
    }
    if (step.close) await page.evaluate(() => window.dispatchEvent(new Event('beforeunload')));
    if (step.frames) {
      const count = () => page.evaluate(() => [window.quandrixFrames, window.quandrixBusy]);
      const before = await count();
      await new Promise((resolve) => setTimeout(resolve, step.frames * 1000));
      const after = await count();
      done.count = after[0] - before[0];
      done.busy = (after[1] - before[1]) / 1000;
    }
    done.at = now();
    report.steps.push(done);
  }
  const root = await page.evaluate(() => ({...document.documentElement.dataset, firstFrame: window.quandrixFirstFrame}));
  report.state = root.show;
  report.exitStatus = root.exitStatus === undefined ? null : Number(root.exitStatus);
  report.firstFrame = root.firstFrame;
  report.boxes = await page.$$eval('.quandrix-box', (boxes) => boxes.map((box) => box.innerText));
  await page.close();
  return report;
}

const profile = fs.mkdtempSync(path.join(plan.scratch || '/tmp', 'chromium-'));
const browser = await puppeteer.launch({
  executablePath: plan.chromium,
  headless: true,
  userDataDir: profile,
  args: ['--no-sandbox', '--disable-background-networking', '--disable-component-update', '--disable-sync',
         '--no-first-run', '--disable-quic', '--enable-unsafe-swiftshader', '--use-angle=swiftshader',
         ...(plan.arguments || [])],
});
const reports = [];
try {
  for (const wanted of plan.visits) {
    try {
      reports.push(await visit(browser, wanted));
    } catch (error) {
      reports.push({fragment: wanted.fragment, failure: String(error)});
    }
  }
} finally {
  await browser.close();
  fs.rmSync(profile, {recursive: true, force: true});
}
process.stdout.write(JSON.stringify({visits: reports}, null, 1) + '\n');
