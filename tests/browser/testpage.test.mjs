// The test page in a real browser against a `veltrane serve` on a free loopback port: a
// location hash opens its tab, the analysis fills the pills, and nothing logs an error.

import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { launchBrowser, openWatchedPage, startServer } from './browser_harness.mjs';

const WAIT = { timeout: 15000 };

let server;
let browser;

before(async () => {
  server = await startServer(['serve', '--port', '0']);
  browser = await launchBrowser();
});

after(async () => {
  await browser?.close();
  server?.child.kill('SIGTERM');
});

async function openPage(t, hash) {
  const page = await openWatchedPage(t, browser);
  await page.goto(`http://127.0.0.1:${server.port}/${hash}`);
  return page;
}

test('#names opens the Names tab and shows the pills', async (t) => {
  const page = await openPage(t, '#names');
  await page.waitForSelector('#p-names .row .pill', WAIT);
  assert.equal(await page.title(), 'Veltrane Playground');
  assert.equal(await page.$eval('#t-names', (b) => b.classList.contains('cur')), true);
  assert.equal(await page.$eval('#p-names', (p) => getComputedStyle(p).display), 'block');
  const pills = await page.$$eval('#pills .pill', (list) => list.map((p) => p.textContent));
  assert.deepEqual(pills.slice(0, 4), ['2 statements', '0 SQL*Plus', 'no errors', 'Oracle 26ai']);
  assert.match(pills.at(-1), /^\d+(\.\d)? (µs|ms)$/);
  const usages = await page.$$eval('#p-names .row .pill', (list) => list.map((p) => p.textContent));
  assert.ok(usages.includes('declaration') && usages.includes('assignment'));
});

test('the errors sample shows its diagnostics', async (t) => {
  const page = await openPage(t, '#diagnostics');
  await page.waitForSelector('#p-names, #pills .pill', WAIT);
  await page.selectOption('#sample', { label: 'Errors and recovery' });
  await page.waitForSelector('#p-diagnostics .row .pill.bad', WAIT);
  assert.match(await page.textContent('#pills .pill.bad'), /^\d+ errors?$/);
});

test('a failed answer shows its reason, and no answer at all a server to start', async (t) => {
  // Failed requests are logged by the browser as console errors: this page is not watched.
  const context = await browser.newContext();
  t.after(() => context.close());
  const page = await context.newPage();
  const cases = [
    [(route) => route.fulfill({ status: 503, contentType: 'application/json', body: '{"error":"out of memory"}' }),
      'The server could not analyse this: out of memory'],
    [(route) => route.fulfill({ status: 413, contentType: 'text/plain', body: 'the source is larger than 50 MiB' }),
      'The server could not analyse this: the source is larger than 50 MiB'],
    [(route) => route.abort(), 'The Veltrane server is not reachable: start it with veltrane serve'],
  ];
  await page.goto(`http://127.0.0.1:${server.port}/`);
  await page.waitForSelector('#pills .pill', WAIT);
  for (const [i, [answer, pill]] of cases.entries()) {
    await page.route('**/api/analyze', answer);
    await page.fill('#source', `select ${i} from dual;`);
    await page.waitForFunction((text) => document.querySelector('#pills .pill')?.textContent === text, pill, WAIT);
    await page.unroute('**/api/analyze');
  }
});
