// The offline report page in a real browser: Debian's chromium driven by playwright-core,
// over a report.html built by the `veltrane report` command from fixture scripts with
// errors, warnings, tables, objects, and names and texts that hold markup.

import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdirSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import { pathToFileURL } from 'node:url';
import { EXE, launchBrowser, openWatchedPage } from './browser_harness.mjs';

const MARKUP_FILE = '<img src=x onerror=window.__pwned=1>.sql';
const FIXTURES = {
  'objects.sql': [
    'create table emp (id number primary key, name varchar2(30), dept_id number);',
    'create sequence emp_seq;',
    'create or replace package pay as',
    '  rate number;',
    '  bonus number;',
    'end pay;',
    '/',
    'select name from emp where id = 1;',
    'select e.name, d.dname from emp e join dept d on e.dept_id = d.id;',
    'select "<b id=quoted>bold</b>" from emp;',
    "select '</script><img src=x onerror=window.__pwned=2>' from dual;",
    'PROMPT done',
    '',
  ].join('\n'),
  'broken.sql': 'select from;\ninsert into emp values (;\nselect * from emp fetch first 5 rows only;\n',
  [MARKUP_FILE]: 'select 1 from emp;\n',
};

let work;
let browser;
let pageUrl;
let data;

before(async () => {
  work = mkdtempSync(join(tmpdir(), 'veltrane-report-page-'));
  for (const [name, text] of Object.entries(FIXTURES)) writeFileSync(join(work, name), text);
  execFileSync(EXE, ['report', '--version', '11.2', '--title', 'Fixture <i>report</i>',
    'objects.sql', 'broken.sql', MARKUP_FILE], { cwd: work, stdio: 'pipe' });
  pageUrl = pathToFileURL(join(work, 'veltrane-report', 'report.html')).href;
  data = JSON.parse(readFileSync(join(work, 'veltrane-report', 'report.json'), 'utf8'));
  browser = await launchBrowser();
});

after(async () => {
  await browser?.close();
  if (work) rmSync(work, { recursive: true, force: true });
});

// A fresh context (empty storage) and page; any console error or page error fails the test.
async function openPage(t, options = {}) {
  const page = await openWatchedPage(t, browser, { locale: 'en-US', acceptDownloads: true, ...options });
  await page.goto(pageUrl);
  return page;
}

const visiblePanels = (page) => page.$$eval('#panels .panel',
  (panels) => panels.filter((p) => getComputedStyle(p).display !== 'none').map((p) => p.id));

async function downloadText(page, click) {
  const [download] = await Promise.all([page.waitForEvent('download'), click()]);
  const path = await download.path();
  return { name: download.suggestedFilename(), text: readFileSync(path, 'utf8') };
}

test('header, cards and tabs', async (t) => {
  const page = await openPage(t);
  const summary = data.summary;
  assert.equal(await page.title(), 'Fixture <i>report</i>');
  assert.equal(await page.textContent('#title'), 'Fixture <i>report</i>');
  assert.equal(await page.textContent('#sub'),
    `3 files \u00b7 ${summary.lines} lines \u00b7 Oracle 11.2 \u00b7 objects created from schema APP \u00b7 Veltrane 0.1.5`);
  const cards = await page.$$eval('#cards .card', (list) => list.map((card) => ({
    state: card.className, number: card.querySelector('.n').textContent,
    label: card.querySelector('.l').textContent,
  })));
  assert.deepEqual(cards, [
    { state: 'card', number: String(summary.statements), label: 'statements and PL/SQL units' },
    { state: 'card bad', number: String(summary.with_errors), label: 'with errors' },
    { state: 'card bad', number: String(summary.errors), label: 'errors' },
    { state: 'card warn', number: String(summary.warnings),
      label: 'warnings (newer than the target version, or kept as tokens)' },
    { state: 'card', number: '1', label: 'SQL*Plus commands' },
    { state: 'card', number: '3', label: 'objects created' },
  ]);
  const problems = summary.errors + summary.warnings;
  assert.deepEqual(await page.$$eval('#nav button', (list) => list.map((b) => b.textContent)), [
    'Files', `Problems (${problems})`, `Statements (${summary.statements})`, 'Tables used (3)',
    'Objects created (3)',
  ]);
  assert.equal(await page.textContent('#nav button.active'), 'Files');
  assert.deepEqual(await visiblePanels(page), ['panel-files']);
  assert.equal(await page.textContent('#foot'),
    'Made by Veltrane 0.1.5. Only what the parser sees: names are not resolved and no lineage is drawn here.');
  await page.screenshot({ path: join(tmpdir(), 'veltrane-report-page.png'), fullPage: true });
});

test('markup in the data stays text', async (t) => {
  const page = await openPage(t);
  await page.click('#nav button[data-tab="statements"]');
  assert.equal(await page.$$eval('img, b, i, #quoted', (list) => list.length), 0);
  assert.equal(await page.evaluate(() => window.__pwned), undefined);
  const cells = await page.$$eval('#panel-statements td', (list) => list.map((td) => td.textContent));
  assert.ok(cells.includes(MARKUP_FILE));
  assert.equal(await page.$$eval('script', (list) => list.length), 1);
  await page.click('#nav button[data-tab="files"]');
  assert.ok((await page.$$eval('#panel-files td.mono', (list) => list.map((td) => td.textContent)))
    .includes(MARKUP_FILE));
});

test('tabs show one panel at a time', async (t) => {
  const page = await openPage(t);
  for (const id of ['problems', 'tables', 'objects', 'files', 'statements']) {
    await page.click(`#nav button[data-tab="${id}"]`);
    assert.deepEqual(await visiblePanels(page), [`panel-${id}`]);
    assert.equal(await page.getAttribute('#nav button.active', 'data-tab'), id);
  }
});

test('filter counts the visible rows', async (t) => {
  const page = await openPage(t);
  await page.click('#nav button[data-tab="statements"]');
  const all = data.summary.statements;
  const count = () => page.textContent('#panel-statements .count');
  assert.equal(await count(), `${all} of ${all}`);
  await page.fill('#panel-statements input', 'BROKEN.SQL');
  assert.equal(await count(), `3 of ${all}`);
  assert.equal(await page.$$eval('#panel-statements tbody tr', (list) => list.length), 3);
  await page.fill('#panel-statements input', 'no such text');
  assert.equal(await count(), `0 of ${all}`);
  assert.equal(await page.$$eval('#panel-statements th', (list) => list.length), 9);
  assert.equal(await page.$$eval('#panel-statements tbody tr', (list) => list.length), 0);
});

test('sorting by a number column and by a text column', async (t) => {
  const page = await openPage(t);
  await page.click('#nav button[data-tab="statements"]');
  const column = (index) => page.$$eval(`#panel-statements tbody tr td:nth-child(${index})`,
    (list) => list.map((td) => td.textContent));
  const heads = () => page.$$eval('#panel-statements th', (list) => list.map((th) => th.textContent));
  const bytes = data.files.flatMap((f) => f.items.filter((i) => i.kind !== 'sqlplus').map((i) => i.bytes));

  await page.click('#panel-statements th:nth-child(8)');
  assert.deepEqual((await column(8)).map(Number), [...bytes].sort((a, b) => a - b));
  assert.equal((await heads())[7], 'Bytes \u25b2');
  await page.click('#panel-statements th:nth-child(8)');
  assert.deepEqual((await column(8)).map(Number), [...bytes].sort((a, b) => b - a));
  assert.equal((await heads())[7], 'Bytes \u25bc');

  await page.click('#panel-statements th:nth-child(4)');
  const kinds = await column(4);
  assert.deepEqual(kinds, [...kinds].sort((a, b) => a.localeCompare(b)));
  assert.deepEqual(await heads(), ['File', 'Line', 'Kind', 'Statement \u25b2', 'Errors', 'Warnings',
    'Tables', 'Bytes', 'Lossless']);
  await page.click('#panel-statements th:nth-child(4)');
  assert.deepEqual(await column(4), [...kinds].reverse());
});

test('Download CSV writes the visible rows in their order', async (t) => {
  const page = await openPage(t);
  await page.click('#nav button[data-tab="problems"]');
  await page.fill('#panel-problems input', 'broken');
  await page.click('#panel-problems th:nth-child(3)');
  await page.click('#panel-problems th:nth-child(3)');
  const rows = await page.$$eval('#panel-problems tbody tr',
    (list) => list.map((tr) => [...tr.children].map((td) => td.textContent)));
  assert.ok(rows.length >= 3);
  const lines = rows.map((row) => Number(row[2]));
  assert.deepEqual(lines, [...lines].sort((a, b) => b - a));
  const { name, text } = await downloadText(page, () => page.click('#panel-problems button.csv'));
  assert.equal(name, 'problems.csv');
  const quote = (cell) => (/[",\r\n]/.test(cell) ? `"${cell.replace(/"/g, '""')}"` : cell);
  const expected = [['Severity', 'File', 'Line', 'Col', 'Message', 'Statement'], ...rows]
    .map((row) => row.map(quote).join(',') + '\r\n').join('');
  assert.equal(text, expected);
  assert.ok(text.endsWith('\r\n'));
});

test('JSON writes the visible rows as objects', async (t) => {
  const page = await openPage(t);
  await page.click('#nav button[data-tab="objects"]');
  await page.fill('#panel-objects input', 'emp');
  const { name, text } = await downloadText(page, () => page.click('#panel-objects button.json'));
  assert.equal(name, 'objects.json');
  assert.deepEqual(JSON.parse(text), [
    { Type: 'TABLE', Owner: 'APP', Name: 'EMP', Columns: 3, Members: 0 },
    { Type: 'SEQUENCE', Owner: 'APP', Name: 'EMP_SEQ', Columns: 0, Members: 0 },
  ]);
  assert.equal(text, JSON.stringify(JSON.parse(text), null, 1));
});

test('print shows every panel without the tools', async (t) => {
  const page = await openPage(t);
  await page.emulateMedia({ media: 'print' });
  assert.deepEqual(await visiblePanels(page),
    ['panel-files', 'panel-problems', 'panel-statements', 'panel-tables', 'panel-objects']);
  assert.equal(await page.$eval('#nav', (nav) => getComputedStyle(nav).display), 'none');
  assert.ok(await page.$$eval('.tools', (list) => list.every((tools) => getComputedStyle(tools).display === 'none')));
});

test('the dark scheme changes the page background', async (t) => {
  const background = (page) => page.$eval('body', (body) => getComputedStyle(body).backgroundColor);
  const light = await openPage(t, { colorScheme: 'light' });
  assert.equal(await background(light), 'rgb(238, 241, 244)');
  const dark = await openPage(t, { colorScheme: 'dark' });
  assert.equal(await background(dark), 'rgb(16, 22, 28)');
});

test('a report without statements shows the empty texts', async (t) => {
  const empty = mkdtempSync(join(tmpdir(), 'veltrane-report-empty-'));
  t.after(() => rmSync(empty, { recursive: true, force: true }));
  writeFileSync(join(empty, 'only.sql'), 'PROMPT nothing\n');
  execFileSync(EXE, ['report', '--format', 'html', 'only.sql'], { cwd: empty, stdio: 'pipe' });
  const context = await browser.newContext({ locale: 'en-US' });
  t.after(() => context.close());
  const page = await context.newPage();
  const errors = [];
  page.on('pageerror', (error) => errors.push(String(error)));
  await page.goto(pathToFileURL(join(empty, 'veltrane-report', 'report.html')).href);
  assert.equal(await page.textContent('#sub'),
    '1 file \u00b7 1 lines \u00b7 Oracle 26ai \u00b7 objects created from schema APP \u00b7 Veltrane 0.1.5');
  assert.equal(await page.textContent('#panel-problems td.empty'),
    'No problems: every statement parsed without errors or warnings.');
  assert.equal(await page.textContent('#panel-statements td.empty'), 'Nothing here.');
  assert.equal(await page.textContent('#panel-tables .count'), '0 of 0');
  assert.deepEqual(errors, []);
});

test('a large table draws the rows in view, the rest as it scrolls, and all of them in print', async (t) => {
  const large = mkdtempSync(join(tmpdir(), 'veltrane-report-large-'));
  t.after(() => rmSync(large, { recursive: true, force: true }));
  const count = 1500;
  const lines = Array.from({ length: count }, (_, i) => `select ${i + 1} from t${i % 7};`);
  writeFileSync(join(large, 'many.sql'), lines.join('\n') + '\n');
  execFileSync(EXE, ['report', '--format', 'html', 'many.sql'], { cwd: large, stdio: 'pipe' });
  const page = await openWatchedPage(t, browser, { locale: 'en-US' });
  await page.goto(pathToFileURL(join(large, 'veltrane-report', 'report.html')).href);
  await page.click('#nav button[data-tab="statements"]');
  const lineCells = () => page.$$eval('#panel-statements tbody tr:not(.gap) td:nth-child(2)',
    (list) => list.map((td) => Number(td.textContent)));
  const drawn = await lineCells();
  assert.ok(drawn.length > 10 && drawn.length < count / 4, `${drawn.length} rows drawn`);
  assert.equal(await page.textContent('#panel-statements .count'), `1,500 of 1,500`);

  // Sorting from the keyboard: the header is a button, and the sort covers every row.
  await page.focus('#panel-statements th:nth-child(2) button');
  await page.keyboard.press('Enter');
  await page.keyboard.press('Enter');
  assert.equal(await page.textContent('#panel-statements th:nth-child(2)'), 'Line \u25bc');
  assert.equal((await lineCells())[0], count);

  await page.$eval('#panel-statements .scroll', (box) => { box.scrollTop = box.scrollHeight; });
  await page.waitForFunction(() => [...document.querySelectorAll('#panel-statements tbody tr:not(.gap)')]
    .at(-1).children[1].textContent === '1');

  await page.emulateMedia({ media: 'print' });
  await page.waitForFunction((n) => document.querySelectorAll('#panel-statements tbody tr').length === n, count);
  assert.deepEqual(await lineCells(), Array.from({ length: count }, (_, i) => count - i));
  assert.equal(await page.$$eval('#panel-files tbody tr', (list) => list.length), 1);
});

// Reports the generated scripts `files` (relative path to text) of a fresh folder in the
// formats `formats` and opens the page in a fresh context with `viewport`.
async function openGeneratedReport(t, files, viewport, formats = 'html') {
  const folder = mkdtempSync(join(tmpdir(), 'veltrane-report-generated-'));
  t.after(() => rmSync(folder, { recursive: true, force: true }));
  for (const [name, text] of Object.entries(files)) {
    mkdirSync(dirname(join(folder, name)), { recursive: true });
    writeFileSync(join(folder, name), text);
  }
  execFileSync(EXE, ['report', '--format', formats, ...Object.keys(files)], { cwd: folder, stdio: 'pipe' });
  const page = await openWatchedPage(t, browser, { locale: 'en-US', viewport });
  await page.goto(pathToFileURL(join(folder, 'veltrane-report', 'report.html')).href);
  return page;
}

const statements = (count, make) => Array.from({ length: count }, (_, i) => make(i + 1)).join('\n') + '\n';

// 240 small files, then one of 20,500 statements, then one of a single statement under a
// long name: more than 20,000 statement rows, and the longest numbers of the Files and
// Statements tabs far below their first rows.
const LAST_FILE = 'z_the_last_file_of_this_long_name.sql';
const MANY_ROWS = {
  ...Object.fromEntries(Array.from({ length: 240 }, (_, i) =>
    [`a${String(i).padStart(3, '0')}.sql`, 'select 1 from dual;\nselect 2 from dual;\n'])),
  'big.sql': statements(20500, (n) => `select ${n} from big_table;`),
  [LAST_FILE]: "select 'the last row' from dual;\n",
};
const MANY_ROWS_COUNT = 240 * 2 + 20500 + 1;

// Scrolls the scroll box of a panel to `fraction` of its scroll range, again and again,
// until the texts of the rows drawn, `rows` (an array of arrays of cell texts), satisfy
// the expression `done`. Rows are measured as they are drawn, which may change the range.
async function scrollUntil(page, panel, fraction, done) {
  await page.waitForFunction(({ panel, fraction, done }) => {
    const box = document.querySelector(`#panel-${panel} .scroll`);
    const target = Math.round(fraction * (box.scrollHeight - box.clientHeight));
    if (Math.abs(box.scrollTop - target) > 1) {
      box.scrollTop = target;
      return false;
    }
    const rows = [...box.querySelectorAll('tbody tr:not(.gap)')]
      .map((tr) => [...tr.children].map((td) => td.textContent));
    if (new Function('rows', `return ${done};`)(rows)) return true;
    box.scrollTop = target - 1;
    return false;
  }, { panel, fraction, done }, { polling: 100 });
}

// The rows of a panel's table that lie wholly or partly in the view of its scroll box.
const rowsInView = (page, panel) => page.$eval(`#panel-${panel} .scroll`, (box) => {
  const view = box.getBoundingClientRect();
  const top = view.top + box.querySelector('thead').offsetHeight;
  return [...box.querySelectorAll('tbody tr:not(.gap)')]
    .filter((tr) => tr.getBoundingClientRect().bottom > top && tr.getBoundingClientRect().top < view.bottom)
    .map((tr) => [...tr.children].map((td) => td.textContent));
});

test('every row of a table of more than 20,000 rows can be scrolled to and is drawn', async (t) => {
  const page = await openGeneratedReport(t, MANY_ROWS, { width: 1280, height: 800 });
  await page.click('#nav button[data-tab="statements"]');
  const all = MANY_ROWS_COUNT.toLocaleString('en-US');
  assert.equal(await page.textContent('#panel-statements .count'), `${all} of ${all}`);
  await scrollUntil(page, 'statements', 1, 'rows.at(-1)[0].startsWith("z_")');
  const last = (await rowsInView(page, 'statements')).slice(-2);
  assert.deepEqual(last.map((cells) => [cells[0], cells[1]]), [['big.sql', '20500'], [LAST_FILE, '1']]);

  // Filtered, the rows left are all reachable too.
  await page.fill('#panel-statements input', 'big_table');
  assert.equal(await page.textContent('#panel-statements .count'), `20,500 of ${all}`);
  await scrollUntil(page, 'statements', 1, 'rows.at(-1)[1] === "20500"');
  assert.equal((await rowsInView(page, 'statements')).at(-1)[1], '20500');

  // Printed, a table that would take the rows printed past 10,000 is a line that says how to
  // get it whole (no CSV file was written with this page), the tables before it are whole,
  // and the browser prints the page.
  await page.fill('#panel-statements input', '');
  await page.emulateMedia({ media: 'print' });
  assert.equal(await page.textContent('#panel-statements .print-note'),
    `Statements (${MANY_ROWS_COUNT}): too many rows to print with the rest, and no CSV file was ` +
    'written with this page: veltrane report --format csv writes the whole table as statements.csv ' +
    "(so does the Lab's Download menu).");
  assert.equal(await page.$$eval('#panel-files tbody tr', (list) => list.length), 242);
  assert.ok((await page.pdf()).length > 0);
});

test('a table too long to print names its CSV file when the CSV files are written with the page', async (t) => {
  const page = await openGeneratedReport(t, { 'many.sql': statements(10001, (n) => `select ${n} from dual;`) },
    { width: 1000, height: 800 }, 'csv,html');
  await page.emulateMedia({ media: 'print' });
  assert.equal(await page.textContent('#panel-statements .print-note'),
    'Statements (10001): too many rows to print with the rest; the whole table is in ' +
    "statements.csv, beside this page in the report's folder or ZIP archive.");
  assert.equal(await page.$$eval('.print-note', (notes) => notes.length), 1);
});

// 150 files two folders deep under long names, each creating a table, a view and a package,
// then querying them; every tenth holds a broken statement: some 2,500 rows, printed whole.
const BIG_REPORT = Object.fromEntries(Array.from({ length: 150 }, (_, i) => {
  const n = String(i).padStart(3, '0');
  return [`schemas/sales_module_${i % 6}/install_scripts/create_order_objects_${n}.sql`, [
    `create table orders_${n} (id number primary key, customer_name varchar2(100));`,
    `create view recent_orders_${n} as select id, customer_name from orders_${n};`,
    `create package order_api_${n} as procedure add_order(p_id number); end;\n/`,
    ...Array.from({ length: 6 }, (_, q) => `select o.id, c.name from orders_${n} o join customers_${q} c on c.id = o.id;`),
    ...(i % 10 === 0 ? ['select from where;'] : []), ''].join('\n')];
}));

test('a generated report prints whole, each table with its title and columns fitted to their content', async (t) => {
  // About the width of a letter or A4 page inside its margins.
  const page = await openGeneratedReport(t, BIG_REPORT, { width: 740, height: 1000 });
  const labels = await page.$$eval('#nav button', (list) => list.map((b) => b.textContent));
  const titles = () => page.$$eval('.print-title', (list) => list.filter((title) => title.offsetHeight > 0)
    .map((title) => title.textContent));
  assert.deepEqual(await titles(), []);
  await page.emulateMedia({ media: 'print' });
  assert.equal(await page.$$eval('.print-note', (notes) => notes.length), 0);
  assert.deepEqual(await titles(), labels);
  assert.equal(await page.$$eval('#panel-statements tbody tr', (list) => list.length), 150 * 9 + 15);
  // No table is wider than the paper, where it would be cut off.
  assert.deepEqual(await page.$$eval('.panel', (panels) => panels
    .filter((panel) => panel.querySelector('table').offsetWidth > panel.clientWidth)), []);

  // Short words and numbers take narrow columns, on one line; the file paths get the room
  // and break only between their parts.
  const widths = await page.$$eval('#panel-statements th', (list) => Object.fromEntries(
    list.map((th) => [th.textContent, th.offsetWidth])));
  const tableWidth = await page.$eval('#panel-statements table', (table) => table.offsetWidth);
  for (const head of ['Kind', 'Lossless', 'Line', 'Errors']) {
    assert.ok(widths[head] < tableWidth / 12, `${head}: ${widths[head]} of ${tableWidth}`);
  }
  assert.ok(widths.File > 3 * widths.Kind && widths.File > tableWidth / 5, JSON.stringify(widths));
  for (const row of [1, 5, 40]) {
    const cell = (column) => cellLines(page, `#panel-statements tbody tr:nth-child(${row}) td:nth-child(${column})`);
    assert.deepEqual([(await cell(3)).length, (await cell(9)).length], [1, 1]);
    const lines = await cell(1);
    assert.match(lines.join(''), /^schemas\/sales_module_\d\/install_scripts\/create_order_objects_\d{3}\.sql$/);
    assert.ok(lines.length > 1 && lines.slice(0, -1).every((line) => /[_./]$/.test(line)), `${lines}`);
  }
  const pdf = await page.pdf();
  assert.ok(pdf.toString('latin1').match(/\/Type\s*\/Page\b/g).length > 20);
});

// For each number cell of the panel's rows drawn (those from `from` to `to` of them): its
// text, the lines it takes and whether it stays within the cell's padding.
const numberCells = (page, panel, from = 0, to = Infinity) => page.$$eval(`#panel-${panel} tbody tr:not(.gap)`,
  (rows, [from, to]) => rows.slice(from, to).flatMap((tr) => [...tr.querySelectorAll('td.num')]).map((td) => {
    const range = document.createRange();
    range.selectNodeContents(td);
    const rects = [...range.getClientRects()].filter((rect) => rect.width > 0);
    const box = td.getBoundingClientRect();
    const style = getComputedStyle(td);
    const left = box.left + parseFloat(style.paddingLeft) - 0.5;
    const right = box.right - parseFloat(style.paddingRight) + 0.5;
    return { text: td.textContent, lines: new Set(rects.map((rect) => Math.round(rect.top))).size,
             fits: rects.every((rect) => rect.left >= left && rect.right <= right) };
  }), [from, to]);

// Every cell takes one line and fits; among them are numbers matching each of `longest`.
function assertWhole(cells, longest) {
  for (const cell of cells) assert.deepEqual(cell, { text: cell.text, lines: 1, fits: true });
  for (const pattern of longest) assert.ok(cells.some((cell) => pattern.test(cell.text)), `${pattern} checked`);
}

// The lines a cell's text takes, as the layout breaks it.
const cellLines = (page, selector) => page.$eval(selector, (td) => {
  const lines = [];
  let lastTop = null;
  const walker = document.createTreeWalker(td, NodeFilter.SHOW_TEXT);
  for (let node = walker.nextNode(); node; node = walker.nextNode()) {
    for (let i = 0; i < node.length; i++) {
      const range = document.createRange();
      range.setStart(node, i);
      range.setEnd(node, i + 1);
      const top = Math.round(range.getBoundingClientRect().top);
      if (top !== lastTop) lines.push('');
      lastTop = top;
      lines[lines.length - 1] += node.data[i];
    }
  }
  return lines;
});

test('numbers stay on one line in columns wide enough for the longest, on screen and in print', async (t) => {
  const page = await openGeneratedReport(t, MANY_ROWS, { width: 1000, height: 800 });
  const filesLongest = [new RegExp(`^${Buffer.byteLength(MANY_ROWS['big.sql'])}$`), /^20500$/];
  // Lines of five digits, in the rows of big.sql three quarters down Statements.
  const linesLongest = [/^\d{5}$/];
  // The last file and big.sql, whose numbers are the longest, both drawn.
  const lastFile = 'rows.at(-1)[0].startsWith("z_") && rows.some((row) => row[0] === "big.sql")';
  const fiveDigitLines = 'rows.some((row) => row[1].length === 5)';
  await scrollUntil(page, 'files', 1, lastFile);
  assertWhole(await numberCells(page, 'files'), filesLongest);
  // A name longer than its column breaks after "_" or ".".
  const nameLines = await cellLines(page, '#panel-files tbody tr:not(.gap):last-of-type td');
  assert.ok(nameLines.length > 1, `${nameLines}`);
  assert.equal(nameLines.join(''), LAST_FILE);
  assert.ok(nameLines.slice(0, -1).every((line) => /[_.]$/.test(line)), `${nameLines}`);
  await page.click('#nav button[data-tab="statements"]');
  await scrollUntil(page, 'statements', 0.75, fiveDigitLines);
  assertWhole(await numberCells(page, 'statements'), linesLongest);

  // A narrower window lays the columns out anew.
  await page.setViewportSize({ width: 560, height: 800 });
  await page.evaluate(() => new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(done))));
  await scrollUntil(page, 'statements', 0.75, fiveDigitLines);
  assertWhole(await numberCells(page, 'statements'), linesLongest);
  await page.click('#nav button[data-tab="files"]');
  // The frames the tab's showing and the resize asked for are drawn before it is scrolled.
  await page.evaluate(() => new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(done))));
  await scrollUntil(page, 'files', 1, lastFile);
  assertWhole(await numberCells(page, 'files'), filesLongest);

  // In print the Files table is whole; Statements is too long to print with it.
  await page.emulateMedia({ media: 'print' });
  await page.waitForSelector('#panel-statements .print-note');
  assertWhole(await numberCells(page, 'files'), filesLongest);
});

test('a small table breaks names after "_", "." or "/" only', async (t) => {
  const page = await openGeneratedReport(t, {
    'names.sql': 'select * from sys.user_identifiers_of_every_kind u\n' +
      '  join app.all_dependencies_of_objects d on d.id = u.id;\n',
  }, { width: 360, height: 800 });
  await page.click('#nav button[data-tab="tables"]');
  for (const [row, name] of [[1, 'SYS.USER_IDENTIFIERS_OF_EVERY_KIND'], [2, 'APP.ALL_DEPENDENCIES_OF_OBJECTS']]) {
    const lines = await cellLines(page, `#panel-tables tbody tr:nth-child(${row}) td`);
    assert.equal(lines.join(''), name);
    assert.ok(lines.length > 1, `${lines}`);
    assert.ok(lines.slice(0, -1).every((line) => /[_./]$/.test(line)), `${lines}`);
  }
});

test('a table taller than a browser lets an element grow keeps every row in reach', async (t) => {
  // Rows that are all very tall: their file name breaks after each of its many "_" in a
  // narrow window.
  const count = 4000;
  const page = await openGeneratedReport(t, { ['x_'.repeat(120) + '.sql']: statements(count, (n) => `select ${n} from dual;`) },
    { width: 400, height: 900 });
  await page.click('#nav button[data-tab="statements"]');
  const drawn = await page.$$eval('#panel-statements tbody tr:not(.gap)', (rows) => rows.map((tr) => tr.offsetHeight));
  const rowHeight = drawn.reduce((sum, height) => sum + height, 0) / drawn.length;
  assert.ok(rowHeight * count > 9_000_000, `rows of ${rowHeight} px`);

  const inView = async () => (await rowsInView(page, 'statements')).map((cells) => Number(cells[1]));
  await scrollUntil(page, 'statements', 1, `rows.at(-1)[1] === "${count}"`);
  assert.equal((await inView()).at(-1), count);
  const scrollHeight = await page.$eval('#panel-statements .scroll', (box) => box.scrollHeight);
  assert.ok(scrollHeight < 8_100_000, `scroll height ${scrollHeight}`);
  await scrollUntil(page, 'statements', 0.5, `rows.some((row) => Math.abs(row[1] - ${count / 2}) < 3)`);
  assert.ok((await inView()).some((line) => Math.abs(line - count / 2) < 3), `${await inView()}`);
  await scrollUntil(page, 'statements', 0, 'rows[0][1] === "1"');
  assert.equal((await inView())[0], 1);
});
