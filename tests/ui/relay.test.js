// The page through the preview server's relay in chromium, with a scripted plug-in behind it:
// the server's injected script carries the page's messages out in order and the plug-in's
// answers in, so the page works in a browser exactly as in the editor's web view.
import assert from 'node:assert/strict';
import { mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { after, before, test } from 'node:test';
import { fileURLToPath } from 'node:url';

import { launchBrowser, openPage } from './support/browser.js';
import { readoutNotes, UI_ROOT } from './support/editor_page.js';
import { helloMessage } from './support/fixtures.js';
import { getJson, startPreview } from './support/preview.js';

const repo = fileURLToPath(new URL('../..', import.meta.url));
const DOUBLE = process.env.NORVO_PREVIEW_DOUBLE ?? path.join(repo, 'build/default/tests/tools/preview_double');

let browser;
let preview;
let folder;
before(async () => {
  folder = mkdtempSync(path.join(tmpdir(), 'relay-'));
  const answers = path.join(folder, 'answers');
  const hello = helloMessage({ mode: 4, spread: -1, velocity: 1 });
  writeFileSync(answers, `norvo.ready ${JSON.stringify(hello)}\nnorvo.getState {"type":"norvo.state","state":{"format":"x"}}\n`);
  preview = startPreview(DOUBLE, [UI_ROOT, answers]);
  browser = await launchBrowser();
});
after(async () => {
  await browser?.close();
  await preview?.stop();
  rmSync(folder, { recursive: true, force: true });
});

test('messages cross the relay in order both ways', async () => {
  const url = await preview.url;
  const { page, errors, close } = await openPage(browser);
  await page.goto(url);
  await page.waitForFunction(() => document.getElementById('mode-4').checked);
  assert.deepEqual(await readoutNotes(page), [[60, 100], [53, 100], [55, 100]]);
  await page.click('label[for="mode-1"]');
  await page.click('#tab-settings');
  await page.click('#state-export');
  await page.waitForFunction(() => document.getElementById('state-text').value.includes('"format"'));
  const messages = (await getJson(`${url}.norvo-probe/plugin/messages`)).map((t) => JSON.parse(t));
  assert.deepEqual(messages.map((m) => m.type), [
    'norvo.ready', 'norvo.getBankState', 'norvo.beginEdit', 'norvo.setParam', 'norvo.endEdit', 'norvo.getState',
  ]);
  assert.deepEqual(messages[3], { type: 'norvo.setParam', path: 'chord.mode', value: 1 });
  await close();
  assert.deepEqual(errors, []);
});
