// What every browser test shares: the veltrane executable under test, Debian's chromium
// launched through playwright-core, a server command started on a free loopback port, and
// fresh pages whose console errors and page errors fail the test that opened them.

import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const REPO = resolve(dirname(fileURLToPath(import.meta.url)), '..', '..');

// The executable: VELTRANE_EXE, else the release build.
export const EXE = process.env.VELTRANE_EXE ?? join(REPO, 'build', 'release', 'veltrane');

const BROWSER_ARGS = ['--no-sandbox', '--disable-gpu', '--disable-background-networking',
  '--disable-component-update', '--no-first-run'];

export function launchBrowser() {
  return chromium.launch({ executablePath: '/usr/bin/chromium', headless: true, args: BROWSER_ARGS });
}

// Starts a server command and resolves with the process and its port, read from the
// start line on standard error.
export function startServer(args) {
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

// A page in a fresh context (empty storage) made with `contextOptions`. When test `t`
// ends, `lastLook(page)` runs when given, the context closes, any console error or page
// error seen fails the test, and then so do the assertions of the function `lastLook`
// returned, if any.
export async function openWatchedPage(t, browser, contextOptions = {}, lastLook = null) {
  const context = await browser.newContext(contextOptions);
  const page = await context.newPage();
  const problems = [];
  page.on('console', (message) => {
    if (message.type() === 'error') problems.push(message.text());
  });
  page.on('pageerror', (error) => problems.push(String(error)));
  t.after(async () => {
    const check = lastLook ? await lastLook(page) : null;
    await context.close();
    assert.deepEqual(problems, []);
    if (check) check();
  });
  return page;
}
