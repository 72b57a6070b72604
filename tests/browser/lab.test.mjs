// The Lab page in a real browser: Debian's chromium driven by playwright-core against a
// `veltrane lab` started on a free loopback port. Every test gets a fresh context (empty
// storage); any console error, page error or Content-Security-Policy violation fails it.

import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { launchBrowser, openWatchedPage, startServer } from './browser_harness.mjs';

const SUMMARY = /^\d+ statements · \d+ with errors · \d+ warnings · \d+ SQL\*Plus commands · parsed in \d+\.\d\d ms$/;
const WAIT = { timeout: 15000 };

let server;
let browser;
let base;

before(async () => {
  server = await startServer(['lab', '--port', '0', '--no-open']);
  base = `http://127.0.0.1:${server.port}/`;
  browser = await launchBrowser();
});

after(async () => {
  await browser?.close();
  server?.child.kill('SIGTERM');
});

async function openLab(t) {
  const page = await openWatchedPage(t, browser,
    { acceptDownloads: true, viewport: { width: 1400, height: 850 } },
    async (shown) => {
      const violations = await shown.evaluate(() => window.__violations).catch(() => []);
      return () => assert.deepEqual(violations, []);
    });
  await page.addInitScript(() => {
    window.__violations = [];
    document.addEventListener('securitypolicyviolation', (ev) => window.__violations.push(ev.violatedDirective));
  });
  await page.goto(base);
  await page.waitForFunction(() => document.getElementById('summary').textContent.includes('parsed in'), null, WAIT);
  return page;
}

// Replaces the editor's text and waits for the answer to that text.
async function typeScript(page, text) {
  const before = await page.evaluate(() => window.__answers || 0);
  await page.evaluate(() => {
    if (window.__counting) return;
    window.__counting = true;
    window.__answers = 0;
    new MutationObserver(() => { window.__answers++; })
      .observe(document.getElementById('summary'), { childList: true, characterData: true, subtree: true });
  });
  await page.fill('#editor', text);
  await page.waitForFunction((n) => (window.__answers || 0) > n, before, WAIT);
}

test('fresh storage opens the analytics sample and parses it', async (t) => {
  const page = await openLab(t);
  assert.deepEqual(await page.$$eval('#tabs .tab .name', (tabs) => tabs.map((tab) => tab.textContent)),
    ['queries_analytics_pivot_match_recognize.sql']);
  assert.match(await page.textContent('#summary'), SUMMARY);
  assert.equal(await page.textContent('#ver'), 'Oracle 26ai');
  assert.ok((await page.$$('#mirror span.kw')).length > 10);
  assert.equal(await page.textContent('#vc-statements'), '4');
});

test('editor: typing colours keywords, draws the tree and reports errors', async (t) => {
  const page = await openLab(t);
  await typeScript(page, 'select a from t;');
  await page.waitForFunction(() => document.querySelector('#mirror span.kw')?.textContent === 'select', null, WAIT);
  // Boxes are drawn children first, so the root comes last.
  const kinds = await page.$$eval('#treeg .node:not(.tok) > text', (texts) => texts.map((x) => x.textContent));
  assert.equal(kinds.at(-1), 'SelectStmt');
  assert.match(await page.textContent('#legend'), /^SelectStmt · line 1 · \d+ nodes and tokens$/);
  assert.equal(await page.$eval('#tabs .tab.cur .dot', (dot) => dot.className), 'dot');

  await typeScript(page, 'select from;');
  await page.waitForSelector('#tabs .tab.cur .dot.bad', WAIT);
  assert.ok((await page.$$('#mirror span.err')).length > 0);
  assert.ok((await page.$$('#gutter div.err')).length === 1);
  await page.click('#vb-problems');
  const rows = await page.$$eval('#problems tbody tr', (trs) => trs.map((tr) => Array.from(tr.cells, (c) => c.textContent)));
  assert.ok(rows.length >= 1);
  assert.equal(rows[0][0], 'error');
  assert.equal(rows[0][1], '1');
  assert.match(await page.textContent('#vc-problems'), /^\d+$/);
});

test('problems: 19c turns SELECT without FROM into a warning', async (t) => {
  const page = await openLab(t);
  await typeScript(page, 'select 1');
  await page.click('#vb-problems');
  assert.equal(await page.textContent('#problems .empty'), 'No problems: every statement parsed without warnings.');
  const answered = page.waitForResponse((r) => r.url().endsWith('/api/parse'));
  await page.selectOption('#version', '19c');
  await answered;
  await page.waitForSelector('#problems tbody tr', WAIT);
  const rows = await page.$$eval('#problems tbody tr', (trs) => trs.map((tr) => Array.from(tr.cells, (c) => c.textContent)));
  assert.deepEqual(rows.map((row) => [row[0], row[3]]),
    [['warning', 'SELECT without FROM needs Oracle 23ai or later']]);
  assert.equal(await page.textContent('#ver'), 'Oracle 19c');
  await page.uncheck('#showwarn');
  assert.equal(await page.textContent('#problems .empty'), 'No problems: every statement parsed.');
  assert.equal(await page.$eval('#tabs .tab.cur .dot', (dot) => dot.className), 'dot warn');
});

test('files: a picked file named with markup shows as text, and a reload restores the files', async (t) => {
  const page = await openLab(t);
  const name = '<img src=x onerror=window.__pwned=1>.sql';
  await page.setInputFiles('#picker', [
    { name, mimeType: 'text/plain', buffer: Buffer.from('select "<b>x</b>" from t;\n') },
    { name: 'second.sql', mimeType: 'text/plain', buffer: Buffer.from('select 2 from dual;\n') },
  ]);
  await page.waitForFunction(() => document.querySelectorAll('#tabs .tab').length === 3, null, WAIT);
  const names = await page.$$eval('#tabs .tab .name', (tabs) => tabs.map((tab) => tab.textContent));
  assert.deepEqual(names, ['queries_analytics_pivot_match_recognize.sql', name, 'second.sql']);
  assert.equal(await page.$$eval('#tabs img, #mirror img, #mirror b', (found) => found.length), 0);
  assert.equal(await page.evaluate(() => window.__pwned), undefined);
  assert.equal(await page.textContent('#tabs .tab.cur .name'), 'second.sql');

  await page.click('#tabs .tab:nth-child(2)');
  await page.waitForFunction(() => document.getElementById('editor').value.includes('<b>x</b>'), null, WAIT);
  await page.reload();
  await page.waitForFunction(() => document.getElementById('summary').textContent.includes('parsed in'), null, WAIT);
  assert.deepEqual(await page.$$eval('#tabs .tab .name', (tabs) => tabs.map((tab) => tab.textContent)), names);
  assert.equal(await page.textContent('#tabs .tab.cur .name'), name);
  assert.equal(await page.evaluate(() => window.__pwned), undefined);

  // Closing the current tab chooses the one before it.
  await page.click('#tabs .tab.cur .x');
  assert.equal(await page.textContent('#tabs .tab.cur .name'), 'queries_analytics_pivot_match_recognize.sql');
  await page.click('#new');
  assert.equal(await page.textContent('#tabs .tab.cur .name'), 'untitled-1.sql');
});

test('samples: a sample opens under its file name, once', async (t) => {
  const page = await openLab(t);
  await page.selectOption('#sample', { label: 'Data warehouse tables (DDL)' });
  await page.waitForFunction(() => document.querySelector('#tabs .tab.cur .name')?.textContent === 'data_warehouse_tables_ddl_.sql', null, WAIT);
  assert.equal(await page.inputValue('#sample'), '');
  await page.selectOption('#sample', { label: 'Data warehouse tables (DDL)' });
  assert.equal((await page.$$('#tabs .tab')).length, 2);
});

test('downloads: Everything (ZIP) saves the archive with seven entries', async (t) => {
  const page = await openLab(t);
  await page.click('#dl');
  const downloading = page.waitForEvent('download', WAIT);
  await page.click('#dlmenu button:has-text("Everything (ZIP)")');
  const download = await downloading;
  assert.equal(download.suggestedFilename(), 'veltrane-report.zip');
  const bytes = readFileSync(await download.path());
  // The end record: signature, then the entry count at offset 10.
  const end = bytes.subarray(bytes.length - 22);
  assert.equal(end.readUInt32LE(0), 0x06054b50);
  assert.equal(end.readUInt16LE(10), 7);
});

test('views: statements, tokens, outline and profile', async (t) => {
  const page = await openLab(t);
  await page.click('#vb-statements');
  const heads = await page.$$eval('#statements th', (ths) => ths.map((th) => th.textContent));
  assert.deepEqual(heads, ['#', 'Line', 'Kind', 'Statement', 'Errors', 'Warnings', 'Tables', 'Nodes', 'µs']);
  assert.equal((await page.$$('#statements tbody tr')).length, 4);
  await page.fill('#filter', 'merge');
  assert.equal((await page.$$('#statements tbody tr')).length, 1);
  await page.click('#statements tbody tr');
  assert.equal(await page.$eval('#vb-tree', (b) => b.classList.contains('cur')), true);
  assert.match(await page.textContent('#legend'), /^MergeStmt · line 27 · /);

  await page.click('#vb-tokens');
  assert.match(await page.textContent('#tokhead'), /^\d+ tokens in statement 4 \(whitespace and comments/);
  await page.click('#vb-outline');
  await page.fill('#find', 'when');
  assert.match(await page.textContent('#found'), /^[1-9]\d* found$/);
  await page.click('#vb-profile');
  assert.equal(await page.textContent('#profile .card span'), 'statements and units');
  assert.equal(await page.evaluate(() => localStorage.getItem('veltrane.lab.view')), 'profile');
});

test('tree: a deep chain is folded below depth 6 and nothing overflows the stack', async (t) => {
  const page = await openLab(t);
  await typeScript(page, 'select ' + '1||'.repeat(99999) + '1 from dual');
  await page.waitForFunction(() => /^SelectStmt · line 1 · \d+ nodes and tokens$/.test(document.getElementById('legend').textContent), null, WAIT);
  assert.ok((await page.$$('#treeg .node.folded')).length > 0);
  const depths = await page.$$eval('#treeg .node > rect', (rects) => rects.map((r) => Number(r.getAttribute('y'))));
  assert.equal(Math.max(...depths), 6 * 54);
  await page.click('#vb-outline');
  assert.ok((await page.$$('#outline .orow')).length < 100);
  await page.click('#vb-tokens');
  assert.match(await page.textContent('#tokhead'), /^200002 tokens in statement 1 /);
  assert.equal((await page.$$('#tokens tbody tr')).length, 5000);
});

test('tree: the JSON download equals the indented tree, and folding by depth', async (t) => {
  const page = await openLab(t);
  await typeScript(page, 'select a, b from t where a = 1;');
  await page.click('#vb-outline');
  const downloading = page.waitForEvent('download', WAIT);
  await page.click('#outjson');
  const download = await downloading;
  assert.equal(download.suggestedFilename(), 'tree-line1.json');
  const text = readFileSync(await download.path(), 'utf8');
  assert.equal(text, JSON.stringify(JSON.parse(text), null, 1));
  assert.equal(JSON.parse(text).k, 'SelectStmt');
  await page.click('#vb-tree');
  await page.click('#fold3');
  const depths = await page.$$eval('#treeg .node > rect', (rects) => rects.map((r) => Number(r.getAttribute('y'))));
  assert.equal(Math.max(...depths), 3 * 54);
  await page.click('#unfold');
  assert.equal((await page.$$('#treeg .node.folded')).length, 0);
});
