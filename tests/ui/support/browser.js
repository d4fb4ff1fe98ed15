// Debian's chromium driven by playwright-core: one browser per test file, pages that record
// console errors and uncaught exceptions, screenshots written to the artifact folder.
import { mkdirSync } from 'node:fs';
import path from 'node:path';
import { chromium } from 'playwright-core';

const FLAGS = [
  '--headless',
  '--no-sandbox',
  '--disable-gpu',
  '--disable-quic',
  '--no-first-run',
  '--disable-background-networking',
  '--disable-component-update',
  '--disable-sync',
];

export function launchBrowser() {
  return chromium.launch({
    executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium',
    headless: true,
    args: FLAGS,
  });
}

// A page of the given size whose console errors and page errors are collected in `errors`
// and the address of every request it makes in `requests`.
export async function openPage(browser, { width = 640, height = 420, initScripts = [] } = {}) {
  const context = await browser.newContext({ viewport: { width, height } });
  const page = await context.newPage();
  const errors = [];
  const requests = [];
  page.on('request', (request) => requests.push(request.url()));
  page.on('console', (message) => {
    if (message.type() === 'error') errors.push(message.text());
  });
  page.on('pageerror', (error) => errors.push(String(error)));
  for (const script of initScripts) await page.addInitScript(script);
  return { page, errors, requests, close: () => context.close() };
}

export function artifactPath(name) {
  const folder = process.env.NORVO_UI_ARTIFACTS ?? path.resolve('artifacts');
  mkdirSync(folder, { recursive: true });
  return path.join(folder, name);
}
