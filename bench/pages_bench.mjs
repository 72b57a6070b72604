// Main-thread cost of the report page and the Lab page at real size, in Debian's chromium
// through the playwright-core that tests/browser pins (run `npm ci` there first).
//
//   node bench/pages_bench.mjs [report] [lab]        (both when none is named)
//
// The executable is VELTRANE_EXE, else build/release/veltrane; the pages measured are the
// ones it embeds. The inputs are made under a temporary folder from ../shared/corpus:
//   report: the corpus copied 8 times into one folder, reported with --format html; the
//           page is opened, then every tab is shown, Statements is sorted and filtered.
//   lab:    a 36 KB package body, 1.2 MB of package bodies of the corpus end to end, one
//           generated package body of 1.25 MB (a single unit of about 200,000 nodes), a
//           script of 10,000 short statements and a 5 MB script (the corpus end to end,
//           repeated) are opened in the Lab. The time from the answer's arrival to the
//           frame that shows it, the JS heap, each view shown, a statement chosen, a
//           Statements row clicked and ▶ Parse are measured; then keys are typed 400 ms
//           apart with "Parse as I type" on, and the same keys into the page with its
//           scripts removed, whose cost is the browser's own: the time from each key to
//           its frame (median, 95th percentile) and the main-thread tasks over 50 ms.
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

// Scripts of the corpus end to end (those whose names end with one of `endings`), again
// from the first when the corpus runs out, until the text reaches `size` bytes.
function corpusText(size, endings) {
  const paths = filesUnder(CORPUS).filter((p) => endings.some((ending) => p.endsWith(ending)));
  let text = '';
  for (let i = 0; text.length < size; i = (i + 1) % paths.length) {
    text += readFileSync(paths[i], 'utf8').replace(/\r\n?/g, '\n') + '\n';
  }
  return text;
}

// One package body of about `size` bytes: a single unit of many small procedures.
function onePackageBody(size) {
  const lines = ['create or replace package body bench_one as'];
  let bytes = lines[0].length;
  for (let n = 1; bytes < size; n++) {
    const body = [
      `  procedure step_${n}(p_id in number, p_name in varchar2) is`,
      `    v_total number := 0;`,
      `    v_name varchar2(100) := upper(p_name);`,
      `  begin`,
      `    select count(*) into v_total from orders o where o.customer_id = p_id;`,
      `    if v_total > ${n} then`,
      `      update customers c set c.note = v_name || ' ' || v_total where c.id = p_id;`,
      `    else`,
      `      insert into audit_log (id, name, total) values (p_id, v_name, v_total);`,
      `    end if;`,
      `  end step_${n};`,
    ];
    for (const line of body) bytes += line.length + 1;
    lines.push(...body);
  }
  lines.push('end bench_one;', '/', '');
  return lines.join('\n');
}

// `count` short statements, one per line.
function manyStatements(count) {
  return Array.from({ length: count }, (_, i) =>
    i % 2 ? `insert into t (a, b) values (${i}, 'row ${i}');` : `select a, b from t where a = ${i};`).join('\n') + '\n';
}

const percentile = (values, p) => {
  const sorted = values.slice().sort((a, b) => a - b);
  return sorted.length ? sorted[Math.min(sorted.length - 1, Math.floor(p * sorted.length))] : 0;
};

// Counts, in the page, the time from each key to the frame that shows it (from the key
// event's time stamp to the frame after the input event) and every main-thread task over
// 50 ms.
async function watchKeys(page) {
  await page.evaluate(() => {
    window.__keyFrames = [];
    window.__longTasks = [];
    document.getElementById('editor').addEventListener('input', (ev) => {
      const at = ev.timeStamp;
      requestAnimationFrame(() => setTimeout(() => window.__keyFrames.push(performance.now() - at), 0));
    });
    new PerformanceObserver((list) => {
      for (const entry of list.getEntries()) window.__longTasks.push(entry.duration);
    }).observe({ type: 'longtask' });
  });
}

// Types `count` keys `gap` ms apart in the middle of the editor's text; the key-to-frame
// times and the long tasks seen meanwhile.
async function typeWithPauses(page, count, gap) {
  await page.evaluate(() => {
    const editor = document.getElementById('editor');
    const middle = editor.value.indexOf('\n', editor.value.length >> 1) + 1;
    editor.focus();
    editor.setSelectionRange(middle, middle);
    const line = editor.value.slice(0, middle).split('\n').length;
    editor.scrollTop = Math.max(0, (line - 10) * 20);
    editor.dispatchEvent(new Event('scroll'));
    window.__keyFrames = [];
    window.__longTasks = [];
  });
  for (let i = 0; i < count; i++) {
    await page.keyboard.press('x');
    await sleep(gap);
  }
  await sleep(1500);
  const { frames, tasks } = await page.evaluate(() => ({ frames: window.__keyFrames, tasks: window.__longTasks }));
  return { median: round(percentile(frames, 0.5)), p95: round(percentile(frames, 0.95)),
    longTasks: tasks.length, longest: round(Math.max(0, ...tasks)) };
}

const shown = (page) => page.waitForFunction(() =>
  document.getElementById('summary').textContent.includes('parsed in'), null, { timeout: 120000, polling: 20 });

// Waits until the result is shown; the time from the parse answer's arrival to the frame
// after that.
async function answerToFrame(page) {
  await shown(page);
  return round(await page.evaluate(() => new Promise((done) =>
    requestAnimationFrame(() => requestAnimationFrame(() => done(performance.now() - window.__answered))))));
}

async function benchLab(browser, work) {
  const files = {
    'package-36k.pkb': readFileSync(join(CORPUS, 'utPLSQL/source/core/ut_utils.pkb'), 'utf8'),
    'packages-1200k.pkb': corpusText(1200000, ['.pkb']),
    'one-unit-1250k.pkb': onePackageBody(1250000),
    'statements-10000.sql': manyStatements(10000),
    'script-5000k.sql': corpusText(5000000, ['.pkb', '.pks', '.sql', '.tps', '.tpb', '.prc', '.fnc', '.trg']),
  };
  const typed = new Set(['package-36k.pkb', 'packages-1200k.pkb', 'one-unit-1250k.pkb', 'script-5000k.sql']);
  const acted = new Set(['packages-1200k.pkb', 'one-unit-1250k.pkb', 'statements-10000.sql']);
  for (const [name, text] of Object.entries(files)) writeFileSync(join(work, name), text);
  const server = await startServer(['lab', '--port', '0', '--no-open']);
  const base = `http://127.0.0.1:${server.port}/`;
  const results = [];
  const line = (what, text) => console.log(`  ${what.padEnd(40)} ${text}`);
  try {
    for (const [name, text] of Object.entries(files)) {
      console.log(`lab: ${name}, ${(Buffer.byteLength(text) / 1e3).toFixed(0)} KB`);
      const lab = await openInLab(browser, base, join(work, name));
      line('open, answer to first frame', `wall ${lab.openWall} ms`);
      const { metrics } = await lab.cdp.send('Performance.getMetrics');
      const heap = metrics.find((m) => m.name === 'JSHeapUsedSize').value;
      line('JS heap after open', `${(heap / 1e6).toFixed(0)} MB`);
      const result = { name, openWall: lab.openWall, heapMB: Math.round(heap / 1e6) };
      if (acted.has(name)) {
        const page = lab.page;
        const act = async (what, action) => {
          let figures;
          try {
            figures = await measure(page, lab.cdp, action);
          } catch (e) {
            line(what, 'did not finish in 30 s');
            await settle(lab.cdp);
            return;
          }
          line(what, `main ${String(figures.main).padStart(7)} ms   wall ${String(figures.wall).padStart(7)} ms`);
          result[what] = figures;
        };
        for (const id of ['statements', 'tree', 'outline', 'tokens', 'problems', 'profile', 'tree']) {
          await act(`show ${id}`, () => page.click(`#vb-${id}`));
        }
        await act('choose statement 2', () => page.evaluate(() => {
          const select = document.getElementById('stmtsel');
          select.dispatchEvent(new Event('focus'));
          if (select.options.length > 1) {
            select.value = select.options[1].value;
            select.dispatchEvent(new Event('change'));
          }
        }));
        await page.click('#vb-statements');
        await settle(lab.cdp);
        const rows = await page.$$('#statements tbody tr');
        await act('click a Statements row', () => rows[Math.min(2, rows.length - 1)].click());
        await act('show statements again', () => page.click('#vb-statements'));
        await page.evaluate(() => { document.getElementById('summary').textContent = ''; });
        await settle(lab.cdp);
        await page.click('#parse');
        const parseWall = await answerToFrame(page);
        line('▶ Parse, answer to result shown', `wall ${parseWall} ms`);
        result.parseWall = parseWall;
      }
      // A page that takes over 10 s to show the answer is typed into only a few times.
      if (typed.has(name)) {
        await lab.page.check('#auto');
        await watchKeys(lab.page);
        const keys = await typeWithPauses(lab.page, lab.openWall > 10000 ? 4 : 16, 400);
        const bare = await openWithoutScripts(browser, base, text);
        await watchKeys(bare.page);
        const bareKeys = await typeWithPauses(bare.page, 16, 400);
        await bare.context.close();
        line('typing, 400 ms pauses, parse as I type', `key to frame median ${keys.median} ms, p95 ${keys.p95} ms`);
        line('  the bare text area', `key to frame median ${bareKeys.median} ms, p95 ${bareKeys.p95} ms`);
        line('  tasks over 50 ms while typing', `${keys.longTasks}, the longest ${keys.longest} ms`);
        line('    the bare text area', `${bareKeys.longTasks}, the longest ${bareKeys.longest} ms`);
        Object.assign(result, { keys, bareKeys });
      }
      results.push(result);
      await lab.context.close();
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
  await shown(page);
  await page.uncheck('#auto');
  await page.evaluate(() => { document.getElementById('summary').textContent = ''; });
  await page.setInputFiles('#picker', path);
  const openWall = await answerToFrame(page);
  const cdp = await context.newCDPSession(page);
  await cdp.send('Performance.enable');
  await settle(cdp);
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
