// Drives the web build of the intro in Chromium (headless) or Firefox
// (headed: run it under Xvfb), as a person would with a browser, for the
// tests (web_page_test.py) and the benchmark (bench/web_page.py). Usage: node
// drive.mjs PLAN.json; prints one JSON report on standard output.
//
// The plan: {"browser": "chromium" | "firefox" (default chromium),
// "chromium": PATH, "firefox": PATH, "page": FILE, "autoplay": BOOL (Firefox
// lets the page make sound without a click; Chromium takes the argument
// --autoplay-policy=no-user-gesture-required), "arguments": [...] (to
// Chromium), "visits": [VISIT, ...]}, where
// FILE is the one-file page quandrix.html, opened from disk (file://) as a
// person opens a downloaded page. A visit opens FILE#FRAGMENT in a fresh
// page of 640 x 480 pixels (or "viewport": [WIDTH, HEIGHT]); with "record":
// true every buffer the page's ScriptProcessorNode produces is kept; with
// "script": JS that runs in the page before the page's own (the benchmark
// switches parts of the drawing off with it). It runs
// its steps in order:
//   {"state": S, "timeout": SECONDS}  wait until the page's data-show is S
//   {"sleep": SECONDS}
//   {"screenshot": PATH}               the canvas as PNG
//   {"page": PATH}                     the whole page as PNG
//   {"click": true}                    a left click in the page's middle
//   {"key": NAME}                      a key held for 0.4 s (puppeteer's key names)
//   {"close": true}                    the page's beforeunload event, as when it is closed
//   {"frames": SECONDS}                counts the display frames drawn for SECONDS
//   {"loseContext": SECONDS}           once the show has drawn, its WebGL context lost
//                                      (WEBGL_lose_context) for SECONDS, then restored
//   {"hide": SECONDS}                  another tab in front for SECONDS (the page is hidden)
//   {"audio": PATH}                    what was recorded so far, as 16-bit stereo raw samples
// Each step's report gives "started" and "at" (seconds since the page was
// opened, before and after it) and, for "frames", "count", "busy" (the
// seconds spent inside those frames' callbacks, on the page's own thread)
// and "cpu" (the browser's CPU seconds over them by "process/thread", the
// numbers in thread names as #); "loseContext" adds "lostNote" (the text of
// the page's note while the context was lost, or null), "restored"
// (whether the note went away once it was back) and "stateRestored" (the
// page's data-show then).
// A "state" step reports the exit status the page held then. A visit reports its steps, the console messages ({"type", "text"}),
// uncaught page errors, every request the page made other than for itself
// and its data: addresses,
// the first animation frame after the module started ("firstFrame",
// seconds), the exit status once the show has ended, and with "record" the
// frames of sound recorded and the seconds the node's handler took for them
// ("audio": {"frames", "busy"}).
import fs from 'node:fs';
import path from 'node:path';
import puppeteer from 'puppeteer-core';

const plan = JSON.parse(fs.readFileSync(process.argv[2], 'utf8'));
const pageUrl = 'file://' + path.resolve(plan.page);
const firefox = plan.browser === 'firefox';

// CPU seconds used so far by each thread of the browser's processes, by
// "process/thread": Chromium's processes by their --type, Firefox's content
// processes by theirs (tab, ...), the browser's own process as "browser".
function browserCpu(root) {
  const seconds = {};
  const pids = [root];
  for (let i = 0; i < pids.length; ++i) {
    let kind = 'browser';
    try {
      // (Chromium rewrites its command line as one string: split on spaces.)
      const command = fs.readFileSync(`/proc/${pids[i]}/cmdline`, 'utf8').replace(/\0/g, ' ').trim().split(' ');
      const type = command.find((a) => a.startsWith('--type='));
      if (type) kind = type.slice(7);
      else if (command.includes('-contentproc')) kind = command[command.length - 1];
      for (const task of fs.readdirSync(`/proc/${pids[i]}/task`)) {
        const children = fs.readFileSync(`/proc/${pids[i]}/task/${task}/children`, 'utf8').trim();
        if (children) pids.push(...children.split(' ').map(Number));
        const stat = fs.readFileSync(`/proc/${pids[i]}/task/${task}/stat`, 'utf8');
        const name = kind + '/' + stat.slice(stat.indexOf('(') + 1, stat.lastIndexOf(')')).replace(/[0-9]+/g, '#');
        const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
        seconds[name] = (seconds[name] || 0) + (Number(fields[11]) + Number(fields[12])) / 100;  // clock ticks
      }
    } catch {
      // a process or thread that ended meanwhile
    }
  }
  return seconds;
}

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
    const shown = document.documentElement.dataset.show;
    if (shown === 'waiting' || shown === 'loading') return;
    if (window.quandrixFirstFrame === null) window.quandrixFirstFrame = performance.now() / 1000;
    window.quandrixFrames++;
    window.quandrixBusy += performance.now() - begun;
  });`;

// Keeps a copy of every buffer a ScriptProcessorNode of the page fills, as
// the speakers would get it: the node's own handler runs first.
const audioRecorder = `
  window.quandrixRecording = [];
  window.quandrixAudioBusy = 0;  // milliseconds spent in the node's own handler
  const handlerProperty = Object.getOwnPropertyDescriptor(ScriptProcessorNode.prototype, 'onaudioprocess');
  const create = AudioContext.prototype.createScriptProcessor;
  AudioContext.prototype.createScriptProcessor = function(...args) {
    const node = create.apply(this, args);
    let handler = null;
    Object.defineProperty(node, 'onaudioprocess', {
      get: () => handler,
      set: (f) => {
        handler = f;
        handlerProperty.set.call(node, f && ((event) => {
          const begun = performance.now();
          f(event);
          window.quandrixAudioBusy += performance.now() - begun;
          const b = event.outputBuffer;
          window.quandrixRecording.push([b.getChannelData(0).slice(), b.getChannelData(1).slice()]);
        }));
      },
    });
    return node;
  };`;

// The recording as interleaved 16-bit samples, base64.
function recordedSamples() {
  const chunks = window.quandrixRecording;
  const frames = chunks.reduce((n, [left]) => n + left.length, 0);
  const samples = new Int16Array(frames * 2);
  let at = 0;
  for (const [left, right] of chunks) {
    for (let i = 0; i < left.length; ++i) {
      samples[at++] = Math.max(-32768, Math.min(32767, Math.round(left[i] * 32768)));
      samples[at++] = Math.max(-32768, Math.min(32767, Math.round(right[i] * 32768)));
    }
  }
  const bytes = new Uint8Array(samples.buffer);
  let text = '';
  for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
  return btoa(text);
}

async function waitForState(page, state, seconds) {
  await page.waitForFunction((s) => document.documentElement.dataset.show === s, {timeout: seconds * 1000}, state);
}

async function visit(browser, wanted) {
  const page = await browser.newPage();
  const report = {fragment: wanted.fragment, console: [], errors: [], requests: [], steps: []};
  page.on('console', (message) => report.console.push({type: message.type(), text: message.text()}));
  page.on('pageerror', (error) => report.errors.push(String(error)));
  // A data: address is read from the page itself; anything else would leave it.
  page.on('request', (request) => {
    const url = request.url();
    if (url.split('#')[0] !== pageUrl && !url.startsWith('data:')) report.requests.push(url);
  });
  const [width, height] = wanted.viewport || [640, 480];
  await page.setViewport({width, height, deviceScaleFactor: 1});
  await page.evaluateOnNewDocument(frameCounter);
  if (wanted.record) await page.evaluateOnNewDocument(audioRecorder);
  if (wanted.script) await page.evaluateOnNewDocument(wanted.script);
  const opened = Date.now();
  const now = () => (Date.now() - opened) / 1000;
  await page.goto(pageUrl + (wanted.fragment ? '#' + wanted.fragment : ''));
  for (const step of wanted.steps) {
    const done = {...step, started: now()};
    if (step.state) {
      await waitForState(page, step.state, step.timeout || 60);
      done.exitStatus = await page.evaluate(() => document.documentElement.dataset.exitStatus ?? null);
    }
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
    if (step.hide) {
      const other = await browser.newPage();
      await other.bringToFront();
      await new Promise((resolve) => setTimeout(resolve, step.hide * 1000));
      await page.bringToFront();
      await other.close();
    }
    if (step.audio) fs.writeFileSync(step.audio, Buffer.from(await page.evaluate(recordedSamples), 'base64'));
    if (step.frames) {
      const count = () => page.evaluate(() => [window.quandrixFrames, window.quandrixBusy]);
      const before = await count();
      const cpu = browserCpu(browser.process().pid);
      await new Promise((resolve) => setTimeout(resolve, step.frames * 1000));
      const after = await count();
      done.count = after[0] - before[0];
      done.busy = (after[1] - before[1]) / 1000;
      done.cpu = browserCpu(browser.process().pid);
      for (const name in done.cpu) done.cpu[name] = +(done.cpu[name] - (cpu[name] || 0)).toFixed(2);
    }
    if (step.loseContext) {
      // The context exists once the show has drawn a frame.
      await page.waitForFunction(() => window.quandrixFirstFrame !== null, {timeout: 60000});
      done.lostNote = await page.evaluate(async (seconds) => {
        const lose = document.querySelector('#canvas').getContext('webgl2').getExtension('WEBGL_lose_context');
        lose.loseContext();
        await new Promise((resolve) => setTimeout(resolve, seconds * 1000));
        const note = document.getElementById('quandrix-lost');
        lose.restoreContext();
        return note ? note.textContent : null;
      }, step.loseContext);
      done.restored = await page.waitForFunction(() => !document.getElementById('quandrix-lost'), {timeout: 10000})
        .then(() => true, () => false);
      done.stateRestored = await page.evaluate(() => document.documentElement.dataset.show);
    }
    done.at = now();
    report.steps.push(done);
  }
  const root = await page.evaluate(() => ({...document.documentElement.dataset, firstFrame: window.quandrixFirstFrame}));
  report.state = root.show;
  report.exitStatus = root.exitStatus === undefined ? null : Number(root.exitStatus);
  report.firstFrame = root.firstFrame;
  if (wanted.record) {
    report.audio = await page.evaluate(() => ({
      frames: window.quandrixRecording.reduce((n, [left]) => n + left.length, 0),
      busy: window.quandrixAudioBusy / 1000}));
  }
  report.boxes = await page.$$eval('.quandrix-box', (boxes) => boxes.map((box) => box.innerText));
  await page.close();
  return report;
}

const profile = fs.mkdtempSync(path.join(plan.scratch || '/tmp', firefox ? 'firefox-' : 'chromium-'));
const browser = await puppeteer.launch(firefox ? {
  browser: 'firefox',
  executablePath: plan.firefox,
  headless: false,  // headless Firefox has no WebGL 2 on these machines
  userDataDir: profile,
  extraPrefsFirefox: plan.autoplay ? {'media.autoplay.default': 0, 'media.autoplay.blocking_policy': 0} : {},
} : {
  executablePath: plan.chromium,
  headless: true,
  userDataDir: profile,
  args: ['--no-sandbox', '--disable-background-networking', '--disable-component-update', '--disable-sync',
         '--no-first-run', '--disable-quic', '--enable-unsafe-swiftshader', '--use-angle=swiftshader',
         ...(plan.autoplay ? ['--autoplay-policy=no-user-gesture-required'] : []), ...(plan.arguments || [])],
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
