// The Lab page in a real browser: Debian's chromium driven by playwright-core against a
// `veltrane lab` started on a free loopback port. Every test gets a fresh context (empty
// storage); any console error, page error or Content-Security-Policy violation fails it.

import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { launchBrowser, openWatchedPage, startServer } from './browser_harness.mjs';

const SUMMARY = /^\d+ statements? · \d+ with errors · \d+ warnings? · \d+ SQL\*Plus commands? · parsed in \d+\.\d\d ms$/;
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

// `init`, when given, is a function and its argument run in the page before its own script,
// on every load.
async function openLab(t, viewport = { width: 1400, height: 850 }, init = null) {
  const page = await openWatchedPage(t, browser,
    { acceptDownloads: true, viewport },
    async (shown) => {
      const violations = await shown.evaluate(() => window.__violations).catch(() => []);
      return () => assert.deepEqual(violations, []);
    });
  await page.addInitScript(() => {
    window.__violations = [];
    document.addEventListener('securitypolicyviolation', (ev) => window.__violations.push(ev.violatedDirective));
  });
  if (init) await page.addInitScript(...init);
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

test('problems: a comment left open between statements is an error of the file', async (t) => {
  const page = await openLab(t);
  await typeScript(page, 'select 1 from dual;\n/* header\nselect 2 from dual;\n');
  await page.waitForSelector('#tabs .tab.cur .dot.bad', WAIT);
  assert.ok((await page.$$('#gutter div.err')).length === 1);
  await page.click('#vb-problems');
  const rows = await page.$$eval('#problems tbody tr', (trs) => trs.map((tr) => Array.from(tr.cells, (c) => c.textContent)));
  assert.deepEqual(rows, [['error', '2', '1', 'unterminated comment', '']]);
  await page.click('#problems tbody tr');
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
  // Every token, drawn where it is seen: the end of the list shows the last one.
  assert.deepEqual(await lastTokenRow(page), ['1', '300012', 'Ident', 'dual']);
});

// Scrolls the Tokens view to its end and gives the cells of its last row, once that row
// stands at the bottom of the view.
async function lastTokenRow(page) {
  await page.$eval('#tokens', (box) => { box.scrollTop = box.scrollHeight; });
  await page.waitForFunction(() => Math.abs(document.querySelector('#tokens tbody tr:last-child')?.getBoundingClientRect()
    .bottom - document.getElementById('tokens').getBoundingClientRect().bottom) < 2, null, WAIT);
  return page.$eval('#tokens tbody tr:last-child', (tr) => Array.from(tr.cells, (c) => c.textContent));
}

test('tokens: a list taller than a browser draws reaches its last token, and its rows run on', async (t) => {
  const page = await openLab(t);
  // 440,004 tokens of over 20 pixels each: line N holds aN, +, 1 and a comma.
  const text = 'select\n' + Array.from({ length: 110000 }, (_, i) => `a${i + 2}+1,`).join('\n') + '\nb from t';
  await page.$eval('#editor', (editor, value) => { editor.value = value; editor.dispatchEvent(new Event('input')); }, text);
  await page.waitForFunction(() => document.getElementById('vc-statements').textContent === '1', null, WAIT);
  await page.click('#vb-tokens');
  assert.match(await page.textContent('#tokhead'), /^440004 tokens in statement 1 /);
  assert.deepEqual(await lastTokenRow(page), ['110002', '8', 'Ident', 't']);
  await page.$eval('#tokens', (box) => { box.scrollTop = box.scrollHeight / 2; });
  // The rows are drawn on the scroll event: wait until the middle of the list is drawn.
  const drawn = await page.waitForFunction(() => {
    const rows = Array.from(document.querySelectorAll('#tokens tbody tr')).filter((tr) =>
      tr.getBoundingClientRect().top > 200 && tr.getBoundingClientRect().bottom < 800)
      .map((tr) => tr.cells[0].textContent + ' ' + tr.cells[3].textContent);
    return rows.some((row) => Number(row.split(' ')[0]) > 50000) && rows;
  }, null, WAIT);
  const shown = await drawn.jsonValue();
  const n = Number(shown[0].split(' ')[0]);
  assert.ok(shown.length > 10 && n > 50000 && n < 60000, shown[0]);
  const run = Array.from({ length: shown.length }, (_, i) => n + i).flatMap((k) => [`${k} a${k}`, `${k} +`, `${k} 1`, `${k} ,`]);
  assert.deepEqual(shown, run.slice(run.indexOf(shown[0]), run.indexOf(shown[0]) + shown.length));
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

// Drags the divider between the panes to the window's x position `x`.
async function dragDivider(page, x) {
  const handle = await page.$eval('#divider', (d) => {
    const r = d.getBoundingClientRect();
    return { x: r.left + r.width / 2, y: r.top + r.height / 2 };
  });
  await page.mouse.move(handle.x, handle.y);
  await page.mouse.down();
  await page.mouse.move(x, handle.y, { steps: 4 });
  await page.mouse.up();
}

// The rectangles of the selector's elements and of the element `outer`, in window coordinates.
function rectsOf(page, selector, outer) {
  return page.evaluate(([sel, out]) => {
    const plain = (r) => ({ left: r.left, right: r.right, top: r.top, bottom: r.bottom });
    return {
      inner: Array.from(document.querySelectorAll(sel), (e) => plain(e.getBoundingClientRect())),
      outer: plain(document.querySelector(out).getBoundingClientRect()),
    };
  }, [selector, outer]);
}

function assertInside(inner, outer, what) {
  assert.ok(inner.left >= outer.left - 0.5 && inner.right <= outer.right + 0.5 &&
    inner.top >= outer.top - 0.5 && inner.bottom <= outer.bottom + 0.5,
  `${what}: ${JSON.stringify(inner)} lies outside ${JSON.stringify(outer)}`);
}

test('files: a file over 20 MiB is skipped and its message shows with the count', async (t) => {
  const page = await openLab(t);
  await page.setInputFiles('#picker', [
    { name: 'big.sql', mimeType: 'text/plain', buffer: Buffer.alloc(20 * 1024 * 1024 + 1, 0x20) },
    { name: 'small.sql', mimeType: 'text/plain', buffer: Buffer.from('select 1 from dual;\n') },
  ]);
  await page.waitForFunction(() => document.getElementById('toast').textContent.includes('Opened'), null, WAIT);
  assert.deepEqual(await page.$$eval('#toast > div', (lines) => lines.map((line) => line.textContent)),
    ['big.sql: over 20 MiB, use veltrane report', 'Opened 1 file']);
  assert.equal(await page.$eval('#toast', (toast) => toast.classList.contains('on')), true);
  assert.deepEqual(await page.$$eval('#tabs .tab .name', (tabs) => tabs.map((tab) => tab.textContent)),
    ['queries_analytics_pivot_match_recognize.sql', 'small.sql']);

  // Only the big file: nothing is opened, and both messages are still there.
  await page.setInputFiles('#picker', [
    { name: 'big.sql', mimeType: 'text/plain', buffer: Buffer.alloc(20 * 1024 * 1024 + 1, 0x20) },
  ]);
  await page.waitForFunction(() => document.getElementById('toast').textContent.includes('Opened 0'), null, WAIT);
  assert.deepEqual(await page.$$eval('#toast > div', (lines) => lines.map((line) => line.textContent)),
    ['big.sql: over 20 MiB, use veltrane report', 'Opened 0 files']);
  assert.equal((await page.$$('#tabs .tab')).length, 2);
});

test('layout: with the divider at its right limit every view tab is reachable and the page never widens', async (t) => {
  for (const width of [1400, 1000]) {
    await t.test(`${width} px`, async (t) => {
      const page = await openLab(t, { width, height: 800 });
      await dragDivider(page, width - 5);
      assert.equal(await page.$eval('#left', (left) => parseFloat(left.style.width)), 80);
      const { inner, outer } = await rectsOf(page, '#views button', '#right');
      assert.equal(inner.length, 6);
      inner.forEach((rect, i) => assertInside(rect, outer, `view tab ${i + 1}`));
      assert.deepEqual(await page.evaluate(() => [document.documentElement.scrollWidth, window.innerWidth]), [width, width]);
      await page.click('#vb-profile');
      await page.waitForSelector('#view-profile.cur', WAIT);
      assert.equal(await page.evaluate(() => window.scrollX), 0);
    });
  }

  await t.test('a very long line scrolls inside the editor', async (t) => {
    const page = await openLab(t, { width: 1400, height: 800 });
    await dragDivider(page, 1395);
    await typeScript(page, 'select ' + 'x'.repeat(300000) + ' from dual;');
    await page.focus('#editor');
    await page.keyboard.press('End');
    await page.waitForFunction(() => document.getElementById('editor').scrollLeft > 0, null, WAIT);
    assert.deepEqual(await page.evaluate(() => [window.scrollX, document.documentElement.scrollLeft,
      document.body.scrollLeft, document.documentElement.scrollWidth]), [0, 0, 0, 1400]);
    const { inner, outer } = await rectsOf(page, '#right, #left, footer, header', 'body');
    inner.forEach((rect, i) => assertInside(rect, outer, `part ${i + 1}`));
    // The coloured copy follows the text area sideways.
    assert.equal(await page.$eval('#mirror', (m) => m.scrollLeft), await page.$eval('#editor', (e) => e.scrollLeft));
  });
});

test('tree: folding keeps the drawing in the pane', async (t) => {
  const page = await openLab(t, { width: 1400, height: 800 });
  await dragDivider(page, 1395);
  await typeScript(page, 'select a, b, c, d, e, f, g, h, i, j, k, l, m, n, o, p from t1 join t2 on t1.a = t2.b ' +
    'join t3 on t3.c = t2.d where a = 1 and b = 2 and c = 3 and d = 4 and e = 5 and f = 6 ' +
    'group by a, b, c, d order by a, b, c, d;');
  await page.waitForFunction(() => /^SelectStmt · line 1 · /.test(document.getElementById('legend').textContent), null, WAIT);
  const rootRect = async () => {
    const { inner, outer } = await rectsOf(page, '#treeg .node:not(.tok)', '#treebox');
    return { root: inner.at(-1), pane: outer };
  };
  for (const [button, folded] of [['#fold3', true], ['#unfold', false], ['#fold3', true]]) {
    await page.click(button);
    assert.equal((await page.$$('#treeg .node.folded')).length > 0, folded);
    const { root, pane } = await rootRect();
    assertInside(root, pane, `the root after ${button}`);
  }

  // A double-click unfolds a node where it stands.
  const folded = await page.$$eval('#treeg .node.folded', (nodes) => nodes.map((node) => {
    const r = node.getBoundingClientRect();
    return { x: r.left + r.width / 2, y: r.top + r.height / 2, label: node.querySelector('text').textContent };
  }));
  const pane = (await rootRect()).pane;
  const target = folded.find((f) => f.x > pane.left + 20 && f.x < pane.right - 20);
  assert.ok(target, 'a folded node in view');
  await page.mouse.dblclick(target.x, target.y);
  const kind = target.label.replace(/ …\d+$/, '');
  await page.waitForFunction((k) => Array.from(document.querySelectorAll('#treeg .node:not(.folded) > text'))
    .some((text) => text.textContent === k), kind, WAIT);
  const opened = await page.$$eval('#treeg .node:not(.tok):not(.folded)', (nodes, k) => nodes
    .filter((node) => node.querySelector('text').textContent === k)
    .map((node) => { const r = node.getBoundingClientRect(); return r.left + r.width / 2; }), kind);
  assert.ok(opened.some((x) => Math.abs(x - target.x) < 1), `${kind} stays at ${target.x}: ${opened}`);
});

test('files: the footer shows the chosen file\'s caret', async (t) => {
  const page = await openLab(t);
  await typeScript(page, 'select 1\nfrom dual;');
  assert.equal(await page.textContent('#caret'), 'Ln 2, Col 11');
  await page.click('#new');
  assert.equal(await page.textContent('#tabs .tab.cur .name'), 'untitled-1.sql');
  assert.equal(await page.textContent('#caret'), 'Ln 1, Col 1');
  await page.click('#tabs .tab:nth-child(1)');
  assert.equal(await page.textContent('#caret'), 'Ln 2, Col 11');
  assert.equal(await page.$eval('#editor', (e) => e.selectionStart), 'select 1\nfrom dual;'.length);
});

test('choosing a statement brings its first line four lines from the top', async (t) => {
  const page = await openLab(t);
  await typeScript(page, Array.from({ length: 300 }, (_, i) => `select ${i + 1} from dual;`).join('\n'));
  const scrollTop = () => page.$eval('#editor', (editor) => editor.scrollTop);
  await page.click('#vb-statements');
  await page.click('#statements tbody tr:nth-child(100)');
  assert.equal(await scrollTop(), 96 * 20);
  assert.ok((await page.textContent('#mirror')).includes('select 100 from dual;'));
  await page.selectOption('#stmtsel', '59');
  assert.equal(await scrollTop(), 56 * 20);
  await page.click('#vb-profile');
  const line = Number((await page.textContent('#profile .barrow .lbl')).replace('line ', ''));
  await page.click('#profile .barrow');
  assert.equal(await scrollTop(), Math.max(0, line - 4) * 20);
});

// Storage that refuses a write taking it over `limit` characters, as a full browser
// storage does.
function standInQuota(limit) {
  const setItem = Storage.prototype.setItem;
  Storage.prototype.setItem = function (key, value) {
    let used = key.length + String(value).length;
    for (let i = 0; i < this.length; i++) {
      if (this.key(i) !== key) used += this.key(i).length + this.getItem(this.key(i)).length;
    }
    if (used > limit) throw new DOMException('The quota has been exceeded.', 'QuotaExceededError');
    setItem.call(this, key, value);
  };
}

test('files: when storage is full the largest texts give way and the small file\'s edits are kept', async (t) => {
  const page = await openLab(t, undefined, [standInQuota, 300000]);
  const comments = (lines) => Buffer.from(('-- ' + 'x'.repeat(96) + '\n').repeat(lines));
  await page.setInputFiles('#picker', [
    { name: 'small.sql', mimeType: 'text/plain', buffer: Buffer.from('select 1 from dual;\n') },
    { name: 'big.sql', mimeType: 'text/plain', buffer: comments(2000) },
    { name: 'bigger.sql', mimeType: 'text/plain', buffer: comments(1500) },
  ]);
  await page.waitForSelector('#unkept:not([hidden])', WAIT);
  assert.equal(await page.textContent('#unkept'), '1 large file is not kept in this browser; reopen it after a reload');
  await page.click('#tabs .tab:nth-child(2)');
  await typeScript(page, 'select 2 from dual;\n');
  await page.reload();
  await page.waitForFunction(() => document.getElementById('summary').textContent.includes('parsed in'), null, WAIT);
  assert.deepEqual(await page.$$eval('#tabs .tab .name', (tabs) => tabs.map((tab) => tab.textContent)),
    ['queries_analytics_pivot_match_recognize.sql', 'small.sql', 'big.sql', 'bigger.sql']);
  assert.equal(await page.inputValue('#editor'), 'select 2 from dual;\n');
  const stored = await page.evaluate(() => JSON.parse(localStorage.getItem('veltrane.lab.files')));
  assert.deepEqual(stored.map((f) => f.text.length), [stored[0].text.length, 20, 0, 150000]);
});

test('editor: the gutter widens for line numbers of six and seven digits', async (t) => {
  const page = await openLab(t);
  assert.equal(await page.$eval('#gutter', (gutter) => gutter.getBoundingClientRect().width), 48);
  for (const lines of [123456, 1234567]) {
    await page.$eval('#editor', (editor, count) => {
      editor.value = '\n'.repeat(count - 1);
      editor.dispatchEvent(new Event('input'));
      editor.scrollTop = editor.scrollHeight;
      editor.dispatchEvent(new Event('scroll'));
    }, lines);
    await page.waitForFunction((last) => Array.from(document.querySelectorAll('#gutter div div'))
      .some((number) => number.textContent === String(last)), lines, WAIT);
    // Each number shows whole: nothing of it is cut off by the gutter's edge.
    const cut = await page.$$eval('#gutter div div', (numbers) => numbers
      .filter((number) => number.scrollWidth > number.clientWidth || number.getBoundingClientRect().left <
        document.getElementById('gutter').getBoundingClientRect().left)
      .map((number) => number.textContent));
    assert.deepEqual(cut, [], `${lines} lines`);
  }
});

test('parsing and downloads: a server that stopped is named as such', async (t) => {
  const own = await startServer(['lab', '--port', '0', '--no-open']);
  t.after(() => own.child.kill('SIGTERM'));
  // The refused request is logged by the browser as a console error: this page is not watched.
  const context = await browser.newContext();
  t.after(() => context.close());
  const page = await context.newPage();
  await page.goto(`http://127.0.0.1:${own.port}/`);
  await page.waitForFunction(() => document.getElementById('summary').textContent.includes('parsed in'), null, WAIT);
  // An answer of 503 with a JSON error reads as its error.
  await page.route('**/api/parse', (route) =>
    route.fulfill({ status: 503, contentType: 'application/json', body: '{"error":"out of memory"}' }));
  await page.click('#parse');
  await page.waitForFunction(() => document.getElementById('summary').textContent.startsWith('Could not parse'), null, WAIT);
  assert.equal(await page.textContent('#summary'), 'Could not parse: out of memory');
  await page.unroute('**/api/parse');
  const exited = new Promise((done) => own.child.once('exit', done));
  own.child.kill('SIGTERM');
  await exited;
  await page.click('#parse');
  // The summary still says the last failure until this parse has failed too.
  await page.waitForFunction(() => /^Could not parse: (?!out of memory)/.test(document.getElementById('summary').textContent),
    null, WAIT);
  assert.equal(await page.textContent('#summary'),
    'Could not parse: the Lab server is not answering; start it again with veltrane lab');
  await page.click('#dl');
  await page.click('#dlmenu button:has-text("Report (HTML)")');
  await page.waitForFunction(() => document.getElementById('toast').textContent.startsWith('Could not build'), null, WAIT);
  assert.equal(await page.textContent('#toast'),
    'Could not build it: the Lab server is not answering; start it again with veltrane lab');
});

test('files: every tab closed is offered in the footer, newest first, and reopens with its text', async (t) => {
  const page = await openLab(t);
  const names = () => page.$$eval('#tabs .tab .name', (tabs) => tabs.map((tab) => tab.textContent));
  await page.click('#new');
  await typeScript(page, 'select 1 from dual;');
  // The new empty tab's answer may be the one typeScript saw: wait for the typed text's.
  await page.waitForFunction(() => document.getElementById('summary').textContent.startsWith('1 statement '), null, WAIT);
  assert.equal(await page.textContent('#summary').then((text) => text.split(' · ').slice(0, 4).join(' · ')),
    '1 statement · 0 with errors · 0 warnings · 0 SQL*Plus commands');
  await page.click('#new');
  await typeScript(page, 'select 2 from dual;');
  const opened = await names();
  assert.equal(await page.isHidden('#reopen'), true);
  // One closed tab is offered by name.
  await page.click('#tabs .tab.cur .x');
  assert.equal(await page.textContent('#reopen'), 'Reopen untitled-2.sql');
  await page.click('#tabs .tab.cur .x');
  assert.deepEqual(await names(), opened.slice(0, -2));
  // Two are listed, the one closed last first.
  assert.equal(await page.textContent('#reopen'), 'Reopen a closed tab (2) ▴');
  await page.click('#reopen');
  const offered = () => page.$$eval('#reopenmenu button', (buttons) => buttons.map((b) => [b.firstChild.textContent,
    b.querySelector('small').textContent]));
  assert.deepEqual(await offered(), [['untitled-1.sql', 'select 1 from dual;'], ['untitled-2.sql', 'select 2 from dual;']]);
  await page.click('#reopenmenu button:nth-child(2)');
  assert.equal(await page.isHidden('#reopenmenu'), true);
  assert.equal(await page.textContent('#tabs .tab.cur .name'), 'untitled-2.sql');
  assert.equal(await page.inputValue('#editor'), 'select 2 from dual;');
  assert.equal(await page.textContent('#reopen'), 'Reopen untitled-1.sql');
  await page.click('#reopen');
  assert.deepEqual(await names(), opened);
  assert.equal(await page.inputValue('#editor'), 'select 1 from dual;');
  assert.equal(await page.isHidden('#reopen'), true);
  // When a new tab has taken the closed one's name, the reopened one gets a number, in its
  // own place.
  await page.click('#tabs .tab:nth-child(2) .x');
  await page.click('#new');
  await page.click('#reopen');
  assert.deepEqual(await names(), [opened[0], 'untitled-1 (2).sql', 'untitled-2.sql', 'untitled-1.sql']);
  assert.equal(await page.inputValue('#editor'), 'select 1 from dual;');
});

test('files: after a reload a file that was not kept says so, and stays marked until typed into', async (t) => {
  const page = await openLab(t, undefined, [standInQuota, 150000]);
  const comments = (lines) => Buffer.from(('-- ' + 'x'.repeat(96) + '\n').repeat(lines));
  await page.setInputFiles('#picker', [
    { name: 'big.sql', mimeType: 'text/plain', buffer: comments(2000) },
    { name: 'small.sql', mimeType: 'text/plain', buffer: Buffer.from('select 1 from dual;\n') },
  ]);
  await page.waitForSelector('#unkept:not([hidden])', WAIT);
  assert.equal(await page.$eval('#unkeptnote', (note) => note.hidden), true);
  await page.reload();
  await page.waitForFunction(() => document.getElementById('summary').textContent.includes('parsed in'), null, WAIT);
  const stored = () => page.evaluate(() => JSON.parse(localStorage.getItem('veltrane.lab.files'))
    .map((f) => [f.name, f.text.length, f.unkept === true]));
  await page.click('#tabs .tab:nth-child(2)');
  assert.equal(await page.textContent('#tabs .tab.cur .name'), 'big.sql');
  assert.equal(await page.$eval('#unkeptnote', (note) => note.hidden), false);
  assert.equal(await page.textContent('#unkeptnote'), 'big.sql: not kept in this browser; reopen it');
  assert.equal(await page.inputValue('#editor'), '');
  // Saving the files again keeps the mark, and the footer still counts the file.
  await page.selectOption('#sample', '2');
  await page.waitForSelector('#unkeptnote[hidden]', { state: 'attached', ...WAIT });
  assert.deepEqual((await stored())[1], ['big.sql', 0, true]);
  assert.equal(await page.textContent('#unkept'), '1 large file is not kept in this browser; reopen it after a reload');

  await page.click('#tabs .tab:nth-child(2)');
  await typeScript(page, 'select 3 from dual;\n');
  assert.equal(await page.$eval('#unkeptnote', (note) => note.hidden), true);
  await page.waitForFunction(() => JSON.parse(localStorage.getItem('veltrane.lab.files'))[1].text, null, WAIT);
  assert.deepEqual((await stored())[1], ['big.sql', 20, false]);
  assert.equal(await page.$eval('#unkept', (note) => note.hidden), true);
});

test('a large answer: the tree read in slices equals the answer\'s own, odd texts included', async (t) => {
  const page = await openLab(t);
  // Texts holding quotes, backslashes, brackets and the word "tree" followed by a colon.
  const script = 'select \'a"b\\\\c{[\' as "q""x]", \'"tree":{\\\' , \'é\' from dual where x = ' +
    '1||'.repeat(30000) + '1;';
  await typeScript(page, script);
  await page.waitForFunction(() => /^SelectStmt · line 1 · /.test(document.getElementById('legend').textContent), null, WAIT);
  const own = await page.evaluate(async (source) => {
    const answer = await fetch('/api/parse', { method: 'POST', headers: { 'Content-Type': 'application/json' },
      body: JSON.stringify({ name: 'x.sql', source, version: '26ai' }) });
    return JSON.stringify((await answer.json()).items[0].tree, null, 1);
  }, script);
  assert.ok(own.length > 1 << 20, 'a tree read in slices');
  await page.click('#vb-outline');
  const downloading = page.waitForEvent('download', WAIT);
  await page.click('#outjson');
  assert.equal(readFileSync(await (await downloading).path(), 'utf8'), own);
});

test('views: a long Statements list is drawn where it is seen, and its last row is reached', async (t) => {
  const page = await openLab(t);
  await page.$eval('#editor', (editor) => {
    editor.value = Array.from({ length: 3000 }, (_, i) => `select ${i + 1} from dual;`).join('\n');
    editor.dispatchEvent(new Event('input'));
  });
  await page.waitForFunction(() => document.getElementById('vc-statements').textContent === '3000', null, WAIT);
  await page.click('#vb-statements');
  assert.ok((await page.$$('#statements tbody tr')).length < 3000);
  await page.$eval('#statements', (box) => { box.scrollTop = box.scrollHeight; });
  await page.waitForFunction(() => document.querySelector('#statements tbody tr:last-child td')?.textContent === '3000',
    null, WAIT);
  await page.click('#statements tbody tr:last-child');
  assert.match(await page.textContent('#legend'), /^SelectStmt · line 3000 · /);
  await page.click('#vb-statements');
  await page.fill('#filter', ' 2999 ');
  assert.deepEqual(await page.$$eval('#statements tbody tr', (trs) => trs.map((tr) => tr.cells[1].textContent)),
    ['2999']);
});

test('parsing: an edit drops the answer to an older parse, however late it comes', async (t) => {
  const page = await openLab(t);
  let held = true;
  await page.route('**/api/parse', async (route) => {
    const answer = await route.fetch();
    if (held) {
      held = false;
      await new Promise((done) => setTimeout(done, 1500));
    }
    // A request the page stopped can no longer be answered.
    await route.fulfill({ response: answer }).catch(() => {});
  });
  await page.fill('#editor', 'select a from older_table;');
  await page.waitForTimeout(600);
  await typeScript(page, 'select b from newer_table;');
  await page.waitForTimeout(2000);
  await page.click('#vb-statements');
  assert.deepEqual(await page.$$eval('#statements tbody tr', (trs) => trs.map((tr) => tr.cells[6].textContent)),
    ['NEWER_TABLE']);
  assert.ok((await page.textContent('#mirror')).includes('newer_table'));
});

test('views: switching views draws again only what changed', async (t) => {
  const page = await openLab(t);
  const marked = (box) => page.$eval(box, (b) => b.firstElementChild?.dataset.seen === 'yes');
  for (const [button, box] of [['#vb-statements', '#statements'], ['#vb-outline', '#outline'], ['#vb-tree', '#treeg']]) {
    await page.click(button);
    await page.$eval(box, (b) => { b.firstElementChild.dataset.seen = 'yes'; });
  }
  await page.click('#vb-statements');
  await page.click('#vb-outline');
  assert.deepEqual([await marked('#statements'), await marked('#outline')], [true, true]);
  // A new answer draws every view again when it is next shown.
  await typeScript(page, 'select 1 from dual;');
  await page.click('#vb-statements');
  assert.equal(await marked('#statements'), false);
});

test('outline: a long outline is drawn where it is seen, a large node opens one level, and a click keeps the scroll', async (t) => {
  const page = await openLab(t);
  await typeScript(page, 'select ' + 'a, '.repeat(1500) + 'b from t;');
  await page.click('#vb-outline');
  // Folded to few boxes: the select list with its 3001 children is shut.
  assert.ok((await page.$$('#outline .orow')).length < 50);
  const list = page.locator('#outline .orow', { hasText: 'SelectList' });
  await list.locator('.fold').click();
  // Its items stay folded, and only the rows in view are drawn.
  assert.ok((await page.$$('#outline .orow')).length < 500);
  assert.equal(await page.textContent('#outline .orow:nth-child(20) .fold'), '▸');
  await page.$eval('#outline', (box) => { box.scrollTop = box.scrollHeight; });
  await page.waitForFunction(() => document.querySelector('#outline .orow:last-child')?.textContent.startsWith('▸FromClause'),
    null, WAIT);
  await page.$eval('#outline', (box) => { box.scrollTop = box.scrollHeight / 2; });
  const scrolled = await page.$eval('#outline', (box) => box.scrollTop);
  // The rows are drawn again for the new scroll position a frame later: wait for one in view.
  const row = await (await page.waitForFunction(() => {
    const box = document.getElementById('outline').getBoundingClientRect();
    const seen = [...document.querySelectorAll('#outline .orow')].find((r) => {
      const top = r.getBoundingClientRect().top;
      return top > box.top + 40 && top < box.bottom - 40;
    });
    return seen?.textContent;
  }, null, WAIT)).jsonValue();
  await page.locator('#outline .orow', { hasText: row }).first().click();
  assert.equal(await page.$eval('#outline', (box) => box.scrollTop), scrolled);
  assert.equal(await page.$$eval('#outline .orow.picked', (rows) => rows.length), 1);
});
