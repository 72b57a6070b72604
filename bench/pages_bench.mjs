// Main-thread cost of the report page and the Lab page at real size, in Debian's chromium
// through the playwright-core that tests/browser pins (run `npm ci` there first).
//
//   node bench/pages_bench.mjs [report] [lab]        (both when none is named)
//
// The executable is VELTRANE_EXE, else build/release/veltrane; the pages measured are the
// ones it embeds. The inputs are made under a temporary folder from ../shared/corpus:
//   report: the corpus copied 8 times into one folder, reported with --format html; the
//           page is opened, then every tab is shown, Statements is sorted and filtered.
//   lab:    a 36 KB package body and a 1.2 MB script (package bodies of the corpus end to
//           end) are opened in the Lab; keys are typed with "Parse as I type" off, and the
//           same keys are typed into the page with its scripts removed, whose cost is the
//           browser's own.
// Main-thread time is the renderer's TaskDuration (Performance.getMetrics) over an action
// and the work it leaves behind, read once the main thread has been quiet for 150 ms.

import { execFileSync } from 'node:child_process';
import { cpSync, mkdtempSync, readdirSync, readFileSync, rmSync, statSync, writeFileSync }
  from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { EXE, launchBrowser, startServer } from '../tests/browser/browser_harness.mjs';

const REPO = resolve(dirname(fileURLToPath(import.meta.url)), '..');
const CORPUS = resolve(REPO, '..', 'shared', 'corpus');
const KEYS = 12;
const KEY_GAP_MS = 80;
// Long enough for what a page does once typing pauses (the Lab saves its files then).
const AFTER_PAUSE_MS = 1000;

const sleep = (ms) => new Promise((done) => setTimeout(done, ms));
const round = (ms) => Math.round(ms * 10) / 10;

async function taskSeconds(cdp) {
  const { metrics } = await cdp.send('Performance.getMetrics');
  return metrics.find((m) => m.name === 'TaskDuration').value;
}

// Waits until the renderer's main thread has done less than 2 ms of work in 150 ms.
async function settle(cdp) {
  let last = await taskSeconds(cdp);
  for (;;) {
    await sleep(150);
    const now = await taskSeconds(cdp);
    if (now - last < 0.002) return now;
    last = now;
  }
}

const nextFrame = (page) =>
  page.evaluate(() => new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(done))));

// The main-thread milliseconds of `action` and what it leaves behind, and the wall time
// until the frame after it.
async function measure(page, cdp, action) {
  const before = await settle(cdp);
  const started = performance.now();
  await action();
  await nextFrame(page);
  const wall = performance.now() - started;
  const after = await settle(cdp);
  return { main: round((after - before) * 1000), wall: round(wall) };
}

function filesUnder(folder) {
  return readdirSync(folder, { withFileTypes: true }).flatMap((entry) => {
    const path = join(folder, entry.name);
    return entry.isDirectory() ? filesUnder(path) : [path];
  }).sort();
}

async function benchReport(browser, work) {
  const input = join(work, 'corpus8');
  for (let copy = 1; copy <= 8; copy++) cpSync(CORPUS, join(input, 'copy' + copy), { recursive: true });
  const bytes = filesUnder(input).reduce((sum, path) => sum + statSync(path).size, 0);
  execFileSync(EXE, ['report', '--format', 'html', '--out', join(work, 'report'), input], { stdio: 'pipe' });
  const html = join(work, 'report', 'report.html');
  console.log(`report: ${(bytes / 1e6).toFixed(1)} MB of SQL, report.html ${(statSync(html).size / 1e6).toFixed(1)} MB`);

  const context = await browser.newContext({ locale: 'en-US', viewport: { width: 1400, height: 900 } });
  const page = await context.newPage();
  const cdp = await context.newCDPSession(page);
  await cdp.send('Performance.enable');
  const results = [];
  const record = (what, figures) => {
    results.push({ what, ...figures });
    console.log(`  ${what.padEnd(34)} main ${String(figures.main).padStart(8)} ms   wall ${String(figures.wall).padStart(8)} ms`);
  };
  record('open (load to first frame)', await measure(page, cdp, () => page.goto(pathToFileURL(html).href)));
  const tab = (id) => () => page.click(`#nav button[data-tab="${id}"]`);
  for (const id of ['problems', 'statements', 'tables', 'objects', 'files', 'statements']) {
    record(`show ${id}`, await measure(page, cdp, tab(id)));
  }
  const head = (n) => () => page.click(`#panel-statements th:nth-child(${n})`);
  record('sort Statements by Statement', await measure(page, cdp, head(4)));
  record('sort Statements by Statement again', await measure(page, cdp, head(4)));
  record('sort Statements by Bytes', await measure(page, cdp, head(8)));
  await page.focus('#panel-statements input');
  for (const key of ['s', 'e', 'l', 'Backspace', 'Backspace', 'Backspace']) {
    record(`filter Statements: ${key}`, await measure(page, cdp, () => page.keyboard.press(key)));
  }
  record('scroll Statements to the middle', await measure(page, cdp, () => page.$eval('#panel-statements .scroll',
    (box) => { box.scrollTop = box.scrollHeight / 2; })));
  record('back to Files', await measure(page, cdp, tab('files')));
  await context.close();
  return results;
}

// Package bodies of the corpus end to end until the text reaches `size` bytes.
function packageBodies(size) {
  let text = '';
  for (const path of filesUnder(CORPUS).filter((p) => p.endsWith('.pkb'))) {
    if (text.length >= size) break;
    text += readFileSync(path, 'utf8').replace(/\r\n?/g, '\n') + '\n';
  }
  return text;
}

// Types KEYS keys KEY_GAP_MS apart in the middle of the editor's text: the main-thread
// time per key during the burst, then that of what follows once typing stops (for the page
// as it was, part of that may have happened during the burst).
async function typeBurst(page, cdp) {
  await page.evaluate(() => {
    const editor = document.getElementById('editor');
    const middle = editor.value.indexOf('\n', editor.value.length >> 1) + 1;
    editor.focus();
    editor.setSelectionRange(middle, middle);
    const line = editor.value.slice(0, middle).split('\n').length;
    editor.scrollTop = Math.max(0, (line - 10) * 20);
    editor.dispatchEvent(new Event('scroll'));
  });
  const before = await settle(cdp);
  for (let i = 0; i < KEYS; i++) {
    await page.keyboard.press('x');
    await sleep(KEY_GAP_MS);
  }
  await nextFrame(page);
  const burst = await taskSeconds(cdp);
  await sleep(AFTER_PAUSE_MS);
  const after = await settle(cdp);
  return { perKey: round((burst - before) * 1000 / KEYS), afterPause: round((after - burst) * 1000) };
}

async function benchLab(browser, work) {
  const files = {
    'package-36k.pkb': readFileSync(join(CORPUS, 'utPLSQL/source/core/ut_utils.pkb'), 'utf8'),
    'script-1200k.sql': packageBodies(1200000),
  };
  for (const [name, text] of Object.entries(files)) writeFileSync(join(work, name), text);
  const server = await startServer(['lab', '--port', '0', '--no-open']);
  const base = `http://127.0.0.1:${server.port}/`;
  const results = [];
  try {
    for (const [name, text] of Object.entries(files)) {
      console.log(`lab: ${name}, ${(Buffer.byteLength(text) / 1e3).toFixed(0)} KB`);
      const lab = await openInLab(browser, base, join(work, name));
      const bare = await openWithoutScripts(browser, base, text);
      const labKeys = await typeBurst(lab.page, lab.cdp);
      const bareKeys = await typeBurst(bare.page, bare.cdp);
      const own = round(labKeys.perKey - bareKeys.perKey);
      console.log(`  open, answer to first frame        wall ${lab.openWall} ms`);
      console.log(`  per key: page ${labKeys.perKey} ms, without scripts ${bareKeys.perKey} ms, the page's own ${own} ms`);
      console.log(`  after typing stops                 main ${labKeys.afterPause} ms`);
      results.push({ name, openWall: lab.openWall, perKey: labKeys.perKey, bare: bareKeys.perKey, own,
        afterPause: labKeys.afterPause });
      await lab.context.close();
      await bare.context.close();
    }
  } finally {
    server.child.kill('SIGTERM');
  }
  return results;
}

// The Lab with `path` opened through its file picker, "Parse as I type" off; `openWall` is
// the time from the parse answer's arrival to the frame after the result is shown.
async function openInLab(browser, base, path) {
  const context = await browser.newContext({ viewport: { width: 1400, height: 900 } });
  const page = await context.newPage();
  await page.addInitScript(() => {
    const fetchFirst = window.fetch.bind(window);
    window.fetch = async (...args) => {
      const answer = await fetchFirst(...args);
      if (String(args[0]).endsWith('/api/parse')) window.__answered = performance.now();
      return answer;
    };
  });
  await page.goto(base);
  await page.waitForFunction(() => document.getElementById('summary').textContent.includes('parsed in'));
  await page.uncheck('#auto');
  await page.evaluate(() => { document.getElementById('summary').textContent = ''; });
  await page.setInputFiles('#picker', path);
  await page.waitForFunction(() => document.getElementById('summary').textContent.includes('parsed in'),
    null, { timeout: 120000, polling: 20 });
  const openWall = round(await page.evaluate(() => new Promise((done) =>
    requestAnimationFrame(() => requestAnimationFrame(() => done(performance.now() - window.__answered))))));
  const cdp = await context.newCDPSession(page);
  await cdp.send('Performance.enable');
  return { context, page, cdp, openWall };
}

// The Lab page with its scripts taken out and `text` in its editor: the browser's own cost.
async function openWithoutScripts(browser, base, text) {
  const context = await browser.newContext({ viewport: { width: 1400, height: 900 } });
  const page = await context.newPage();
  await page.route(base, async (route) => {
    const answer = await route.fetch();
    const body = (await answer.text()).replace(/<script>[\s\S]*?<\/script>/g, '');
    await route.fulfill({ response: answer, body });
  });
  await page.goto(base);
  await page.evaluate((value) => { document.getElementById('editor').value = value; }, text);
  const cdp = await context.newCDPSession(page);
  await cdp.send('Performance.enable');
  return { context, page, cdp };
}

const wanted = process.argv.slice(2);
const run = (name) => wanted.length === 0 || wanted.includes(name);
const work = mkdtempSync(join(tmpdir(), 'veltrane-pages-bench-'));
const browser = await launchBrowser();
try {
  console.log(`executable: ${EXE}`);
  if (run('report')) await benchReport(browser, work);
  if (run('lab')) await benchLab(browser, work);
} finally {
  await browser.close();
  rmSync(work, { recursive: true, force: true });
}
