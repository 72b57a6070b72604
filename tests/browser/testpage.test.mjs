// The test page in a real browser against a `veltrane serve` on a free loopback port: a
// location hash opens its tab, the analysis fills the pills, and nothing logs an error.

import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const HERE = dirname(fileURLToPath(import.meta.url));
const EXE = process.env.VELTRANE_EXE ?? join(resolve(HERE, '..', '..'), 'build', 'release', 'veltrane');

const BROWSER_ARGS = ['--no-sandbox', '--disable-gpu', '--disable-background-networking',
  '--disable-component-update', '--no-first-run'];
const WAIT = { timeout: 15000 };

// Starts `veltrane serve` and resolves with the process and the port of its start line.
function startServer(args) {
  return new Promise((resolvePort, reject) => {
    const child = spawn(EXE, args, { stdio: ['ignore', 'ignore', 'pipe'] });
    let err = '';
    const timer = setTimeout(() => reject(new Error('no start line: ' + err)), 15000);
    child.stderr.on('data', (chunk) => {
      err += chunk;
      const match = /http:\/\/127\.0\.0\.1:(\d+)\//.exec(err);
      if (match) {
        clearTimeout(timer);
        resolvePort({ child, port: Number(match[1]) });
      }
    });
    child.on('error', reject);
  });
}

let server;
let browser;

before(async () => {
  server = await startServer(['serve', '--port', '0']);
  browser = await chromium.launch({ executablePath: '/usr/bin/chromium', headless: true, args: BROWSER_ARGS });
});

after(async () => {
  await browser?.close();
  server?.child.kill('SIGTERM');
});

async function openPage(t, hash) {
  const context = await browser.newContext();
  const page = await context.newPage();
  const problems = [];
  page.on('console', (message) => {
    if (message.type() === 'error') problems.push(message.text());
  });
  page.on('pageerror', (error) => problems.push(String(error)));
  t.after(async () => {
    await context.close();
    assert.deepEqual(problems, []);
  });
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
