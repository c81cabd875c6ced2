// Drives the web build of the intro in Chromium (headless) or Firefox
// (headed: run it under Xvfb), as a person would with a browser, for the
// tests (web_page_test.py) and the benchmark (bench/web_page.py). Usage: node
// drive.mjs PLAN.json; prints one JSON report on standard output.
//
// The plan: {"browser": "chromium" (default) or "firefox", "chromium": PATH,
// "firefox": PATH, "page": FILE (quandrix.html, opened from disk as a person
// opens a downloaded page), "autoplay": BOOL (it may make sound without a
// press first), "arguments": [for Chromium], "visits": [VISIT, ...]}. A
// visit opens FILE#FRAGMENT in a fresh page of 640 x 480 pixels, or
// "viewport": [W, H] with "scale" (device pixels per CSS pixel), "touch" and
// "mobile" (Chromium's emulated phones and tablets), "backdrop" (a CSS
// colour behind the canvas); "record": a recorder in the audio graph between
// the page's nodes and the speakers; "rate": every audio context at that
// rate; "noWorklet": the page's AudioWorklet module refused; "script": JS
// run in the page before the page's own (the benchmark switches parts of the
// drawing off with it). Steps, in order:
//   {"state": S or [S, ...], "timeout": SECONDS}  wait until data-show is (one of) S
//   {"sleep": SECONDS}
//   {"sound": SECONDS, "timeout": T}  with "record": wait until SECONDS more of sound are recorded
//   {"drawn": N, "timeout": T}  wait until N more display frames are drawn
//   {"screenshot": PATH}   the canvas as PNG (the page's overlays hidden for it)
//   {"page": PATH}         the whole page as PNG
//   {"click": true}        a left click in the page's middle
//   {"tap": true}          a tap in the page's middle (a touch screen)
//   {"key": NAME}          a key held for 0.4 s (puppeteer's key names)
//   {"hold": NAME, "seconds": S}  a key held for S seconds, repeating as a keyboard does
//   {"close": true}        the page's beforeunload event, as when it is closed
//   {"frames": SECONDS}    counts the display frames drawn for SECONDS
//   {"hide": SECONDS}      another tab in front for SECONDS (the page is hidden)
//   {"loseContext": SECONDS}  once the show has drawn, its WebGL context lost
//                          (WEBGL_lose_context) for SECONDS, then given back
//   {"block": SECONDS}     the page's own thread kept busy for SECONDS
//   {"suspend": true}      the page's audio contexts suspended, as a phone's lock does
//   {"trap": true}         a WebAssembly trap on the page's thread, as a fault in the module
//   {"address": FRAGMENT}  the address's fragment changed (the page reloads itself), then
//                          waits until the show runs, seeks, holds or has failed (with "autoplay")
//   {"audio": PATH}        what was recorded so far, as 16-bit stereo raw samples
// A visit's report carries its "name" (any the plan gave) and "fragment".
// Each step's report gives "started" and "at" (seconds since the page was
// opened, before and after it), "root" (the root element's data attributes
// after it) and "fullScreen"; "frames" adds "count" and "busy" (the seconds
// spent inside those frames' callbacks, on the page's own thread) and "cpu"
// (the browser's CPU seconds over them by "process/thread", the numbers in
// thread names as #); "loseContext" adds "lostNote" (the page's note while
// the context was lost, or null), "restored" (whether the note went away
// once it was back) and "stateRestored" (data-show then). A visit
// reports its steps, the console messages ({"type", "text"}), uncaught page
// errors, every request the page made other than for itself and its data:
// addresses, the first animation frame after the module started
// ("firstFrame", seconds), the page's start-up marks ("marks": name to
// seconds after navigation), the exit status once the show has ended, the
// wake lock's requests and releases ("wakeLock"), the boxes shown, and with
// "record" the frames recorded and the seconds the page's sound took on its
// own thread ("audio": {"frames", "busy", "rate"}). A visit that fails
// reports "failure" with what it had gathered up to then.
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
// main has started the show (data-show leaves "loading"), and the wake lock.
// (Firefox runs these scripts in the blank page a tab opens with too.)
const pageWatch = `(() => {
  if (document.URL.startsWith('about:')) return;
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
  });
  window.quandrixWakeLock = {requests: 0, releases: 0};
  if (navigator.wakeLock) {
    const ask = navigator.wakeLock.request.bind(navigator.wakeLock);
    navigator.wakeLock.request = (type) => {
      window.quandrixWakeLock.requests++;
      return ask(type).then((lock) => {
        lock.addEventListener('release', () => window.quandrixWakeLock.releases++);
        return lock;
      }, (error) => { window.quandrixWakeLock.releases++; throw error; });
    };
  }
})();`;

// The audio graph as the test sees it: every context at RATE (when set),
// kept in window.quandrixContexts, and with RECORD a recorder on the audio
// thread between the page's nodes and the speakers: what it hears is what is
// played. The page's own AudioWorklet module loads after the recorder's (or,
// with NO_WORKLET, is refused), so the recorder is there before any node of
// the page connects. The time the page's sound takes on its own thread is
// summed (its port's messages, or the fallback node's callbacks).
function audioGraph(record, rate, noWorklet) {
  return `(() => {
  if (document.URL.startsWith('about:')) return;
  const record = ${record}, rate = ${rate || 0}, noWorklet = ${!!noWorklet};
  window.quandrixContexts = [];
  window.quandrixRecording = [];
  window.quandrixSounded = 0;  // the seconds recorded that were not silent
  window.quandrixAudioBusy = 0;
  const timed = (f) => f && function(...args) {
    const begun = performance.now();
    try { return f.apply(this, args); } finally { window.quandrixAudioBusy += performance.now() - begun; }
  };
  for (const [type, name] of [[window.MessagePort, 'onmessage'], [window.ScriptProcessorNode, 'onaudioprocess']]) {
    const property = type && Object.getOwnPropertyDescriptor(type.prototype, name);
    if (property) Object.defineProperty(type.prototype, name, {
      get() { return property.get.call(this); }, set(f) { property.set.call(this, timed(f)); }, configurable: true});
  }
  const recorderSource = "registerProcessor('drive-recorder', class extends AudioWorkletProcessor {" +
    "process(inputs, outputs) { const n = outputs[0][0].length, input = inputs[0];" +
    "  const left = input[0] ? input[0].slice() : new Float32Array(n), right = input[1] ? input[1].slice() : left.slice();" +
    "  outputs[0][0].set(left); outputs[0][1].set(right); this.port.postMessage([left, right]); return true; } });";
  const recorderUrl = 'data:text/javascript,' + encodeURIComponent(recorderSource);
  const Original = window.AudioContext;
  const addModule = AudioWorklet.prototype.addModule;
  AudioWorklet.prototype.addModule = function(url, ...rest) {
    if (url === recorderUrl) return addModule.call(this, url, ...rest);
    const own = () => noWorklet ? Promise.reject(new Error('no AudioWorklet here (the test)'))
                                : addModule.call(this, url, ...rest);
    return (this.quandrixRecorder || Promise.resolve()).then(own, own);
  };
  window.AudioContext = class extends Original {
    constructor(options) {
      super(rate ? {...(options || {}), sampleRate: rate} : options);
      window.quandrixContexts.push(this);
      if (!record) return;
      this.audioWorklet.quandrixRecorder = addModule.call(this.audioWorklet, recorderUrl).then(() => {
        const recorder = new AudioWorkletNode(this, 'drive-recorder',
          {numberOfInputs: 1, numberOfOutputs: 1, outputChannelCount: [2], channelCount: 2, channelCountMode: 'explicit'});
        // As 16-bit values at once, so that handing them over later is quick.
        recorder.port.addEventListener('message', (event) => {
          const [left, right] = event.data;
          const samples = new Int16Array(left.length * 2);
          for (let i = 0; i < left.length; ++i) {
            if (left[i] || right[i]) window.quandrixSounded += 1 / this.sampleRate;
            samples[2 * i] = Math.max(-32768, Math.min(32767, Math.round(left[i] * 32768)));
            samples[2 * i + 1] = Math.max(-32768, Math.min(32767, Math.round(right[i] * 32768)));
          }
          window.quandrixRecording.push(samples);
        });
        recorder.port.start();
        connect.call(recorder, this.destination);
        this.quandrixRecorderNode = recorder;
      });
    }
  };
  const connect = AudioNode.prototype.connect;
  AudioNode.prototype.connect = function(target, ...rest) {
    const recorder = this.context.quandrixRecorderNode;
    if (recorder && target === this.context.destination && this !== recorder) return connect.call(this, recorder, ...rest);
    return connect.call(this, target, ...rest);
  };
})();`;
}

// The recording as interleaved 16-bit samples, base64.
function recordedSamples() {
  const chunks = window.quandrixRecording;
  const samples = new Int16Array(chunks.reduce((n, chunk) => n + chunk.length, 0));
  let at = 0;
  for (const chunk of chunks) {
    samples.set(chunk, at);
    at += chunk.length;
  }
  const bytes = new Uint8Array(samples.buffer);
  let text = '';
  for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
  return btoa(text);
}

const pause = (seconds) => new Promise((resolve) => setTimeout(resolve, seconds * 1000));

async function waitForState(page, states, seconds) {
  // Polled on a timer: polling on animation frames would add to the frames counted.
  await page.waitForFunction((s) => s.includes(document.documentElement.dataset.show),
                             {polling: 50, timeout: seconds * 1000}, [].concat(states));
}

async function visit(browser, wanted) {
  const page = await browser.newPage();
  const report = {name: wanted.name || null, fragment: wanted.fragment || '', console: [], errors: [], requests: [],
                  steps: []};
  page.on('console', (message) => report.console.push({type: message.type(), text: message.text()}));
  page.on('pageerror', (error) => report.errors.push(String(error)));
  // A data: address is read from the page itself; anything else would leave it.
  page.on('request', (request) => {
    const url = request.url();
    if (url.split('#')[0] !== pageUrl && !url.startsWith('data:')) report.requests.push(url);
  });
  const opened = Date.now();
  const now = () => (Date.now() - opened) / 1000;
  try {
    page.setDefaultTimeout(300 * 1000);  // opening the page on a loaded machine
    const [width, height] = wanted.viewport || [640, 480];
    try {
      await page.setViewport({width, height, deviceScaleFactor: wanted.scale || 1, hasTouch: !!wanted.touch,
                              isMobile: !!wanted.mobile});
    } catch (error) {
      // Firefox ESR before 141 knows the viewport command that puppeteer
      // sends but not the screen orientation one sent beside it: the size
      // is set all the same.
      if (!firefox || !String(error).includes('setScreenOrientationOverride')) throw error;
    }
    await page.evaluateOnNewDocument(pageWatch);
    await page.evaluateOnNewDocument(audioGraph(!!wanted.record, wanted.rate, wanted.noWorklet));
    if (wanted.script) await page.evaluateOnNewDocument(wanted.script);
    if (wanted.backdrop) {
      await page.evaluateOnNewDocument((colour) => document.addEventListener('DOMContentLoaded', () => {
        document.head.appendChild(document.createElement('style')).textContent =
          'html, body { background: ' + colour + ' !important; }';
      }), wanted.backdrop);
    }
    await page.goto(pageUrl + (wanted.fragment ? '#' + wanted.fragment : ''));
    await runSteps(browser, page, wanted, report, now);
  } catch (error) {
    report.failure = String(error) + (error.cause ? ' (' + error.cause + ')' : '');  // with what the page said up to then
  }
  await page.close();
  return report;
}

async function runSteps(browser, page, wanted, report, now) {
  const [width, height] = wanted.viewport || [640, 480];
  const middle = [width / 2, height / 2];
  for (const step of wanted.steps) {
    const done = {...step, started: now()};
    if (step.state) await waitForState(page, step.state, step.timeout || 60);
    if (step.sleep) await pause(step.sleep);
    // Waiting for what is to happen rather than for a time: a loaded machine
    // starts the sound and draws the frames late.
    if (step.sound) {
      const until = step.sound + await page.evaluate(() => window.quandrixSounded);
      await page.waitForFunction((s) => window.quandrixSounded >= s, {polling: 50, timeout: (step.timeout || 60) * 1000},
                                 until);
    }
    if (step.drawn) {
      const until = step.drawn + await page.evaluate(() => window.quandrixFrames);
      await page.waitForFunction((n) => window.quandrixFrames >= n, {polling: 50, timeout: (step.timeout || 60) * 1000},
                                 until);
    }
    if (step.screenshot) {
      // The canvas alone: a box or a hint laid over it is not the picture.
      const style = await page.addStyleTag({content: 'body > :not(canvas) { visibility: hidden !important; }'});
      const canvas = await page.$('#canvas');
      await canvas.screenshot({path: step.screenshot, type: 'png'});
      await style.evaluate((element) => element.remove());
    }
    if (step.page) await page.screenshot({path: step.page, type: 'png'});
    if (step.click) await page.mouse.click(...middle);
    if (step.tap) await page.touchscreen.tap(...middle);
    if (step.key) {
      await page.keyboard.down(step.key);
      await pause(0.4);
      await page.keyboard.up(step.key);
    }
    if (step.hold) {
      // A keyboard repeats a held key about 30 times a second.
      for (let t = 0; t < step.seconds; t += 1 / 30) {
        await page.keyboard.down(step.hold);
        await pause(1 / 30);
      }
      await page.keyboard.up(step.hold);
    }
    if (step.close) await page.evaluate(() => window.dispatchEvent(new Event('beforeunload')));
    if (step.hide) {
      const other = await browser.newPage();
      await other.bringToFront();
      await pause(step.hide);
      await page.bringToFront();
      await other.close();
    }
    if (step.block) {
      await page.evaluate((seconds) => {
        const until = performance.now() + seconds * 1000;
        while (performance.now() < until) { /* the page's thread is busy */ }
      }, step.block);
    }
    if (step.suspend) await page.evaluate(() => Promise.all(window.quandrixContexts.map((c) => c.suspend())));
    if (step.trap) {
      // From a script of the page's own: what code evaluated from outside
      // throws reaches the page's error listeners muted.
      await page.addScriptTag({content: 'requestAnimationFrame(() => { throw new WebAssembly.RuntimeError("unreachable"); });'});
      await pause(0.5);
    }
    if (step.address !== undefined) {
      const reloaded = page.waitForNavigation();
      await page.evaluate((fragment) => { location.hash = fragment; }, step.address);
      await reloaded;
      await waitForState(page, ['seeking', 'holding', 'running', 'failed'], 60);
    }
    if (step.audio) fs.writeFileSync(step.audio, Buffer.from(await page.evaluate(recordedSamples), 'base64'));
    if (step.frames) {
      const count = () => page.evaluate(() => [window.quandrixFrames, window.quandrixBusy]);
      const before = await count();
      const cpu = browserCpu(browser.process().pid);
      await pause(step.frames);
      const after = await count();
      done.count = after[0] - before[0];
      done.busy = (after[1] - before[1]) / 1000;
      done.cpu = browserCpu(browser.process().pid);
      for (const name in done.cpu) done.cpu[name] = +(done.cpu[name] - (cpu[name] || 0)).toFixed(2);
    }
    if (step.loseContext) {
      // The context exists once the show has drawn a frame.
      await page.waitForFunction(() => window.quandrixFirstFrame !== null, {polling: 50, timeout: 60000});
      done.lostNote = await page.evaluate(async (seconds) => {
        const lose = document.querySelector('#canvas').getContext('webgl2').getExtension('WEBGL_lose_context');
        lose.loseContext();
        await new Promise((resolve) => setTimeout(resolve, seconds * 1000));
        const note = document.getElementById('quandrix-lost');
        lose.restoreContext();
        return note ? note.textContent : null;
      }, step.loseContext);
      done.restored = await page.waitForFunction(() => !document.getElementById('quandrix-lost'),
                                                 {polling: 50, timeout: 60000}).then(() => true, () => false);
      done.stateRestored = await page.evaluate(() => document.documentElement.dataset.show);
    }
    done.root = await page.evaluate(() => ({...document.documentElement.dataset}));
    done.fullScreen = await page.evaluate(() => !!document.fullscreenElement);
    done.at = now();
    report.steps.push(done);
  }
  const root = await page.evaluate(() => ({...document.documentElement.dataset, firstFrame: window.quandrixFirstFrame,
                                           wakeLock: window.quandrixWakeLock}));
  report.state = root.show;
  report.exitStatus = root.exitStatus === undefined ? null : Number(root.exitStatus);
  report.firstFrame = root.firstFrame;
  // The page's own start-up moments (performance.mark), seconds after navigation.
  report.marks = await page.evaluate(() => Object.fromEntries(performance.getEntriesByType('mark')
    .filter((m) => m.name.startsWith('quandrix-')).map((m) => [m.name.slice(9), m.startTime / 1000])));
  report.wakeLock = root.wakeLock;
  if (wanted.record) {
    report.audio = await page.evaluate(() => ({
      frames: window.quandrixRecording.reduce((n, chunk) => n + chunk.length / 2, 0),
      busy: window.quandrixAudioBusy / 1000,
      rate: window.quandrixContexts.length ? window.quandrixContexts[0].sampleRate : null}));
  }
  report.boxes = await page.$$eval('.quandrix-box', (boxes) => boxes.map((box) => box.innerText));
}

const profile = fs.mkdtempSync(path.join(plan.scratch || '/tmp', firefox ? 'firefox-' : 'chromium-'));
// A wait of minutes (a seek on a loaded machine) is one protocol call.
const protocolTimeout = 1800 * 1000;
const browser = await puppeteer.launch(firefox ? {
  protocolTimeout,
  browser: 'firefox',
  executablePath: plan.firefox,
  headless: false,  // headless Firefox has no WebGL 2 on these machines
  userDataDir: profile,
  extraPrefsFirefox: plan.autoplay ? {'media.autoplay.default': 0, 'media.autoplay.blocking_policy': 0} : {},
} : {
  protocolTimeout,
  executablePath: plan.chromium,
  headless: true,
  userDataDir: profile,
  args: ['--no-sandbox', '--disable-background-networking', '--disable-component-update', '--disable-sync',
         '--no-first-run', '--disable-quic', '--enable-unsafe-swiftshader', '--use-angle=swiftshader',
         ...(plan.autoplay ? ['--autoplay-policy=no-user-gesture-required'] : []), ...(plan.arguments || [])],
});
const reports = [];
try {
  for (const wanted of plan.visits) reports.push(await visit(browser, wanted));
} finally {
  await browser.close();
  fs.rmSync(profile, {recursive: true, force: true});
}
process.stdout.write(JSON.stringify({visits: reports}, null, 1) + '\n');
