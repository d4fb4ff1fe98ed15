// Opens the editor page in chromium behind the host double, waits until the hello has been
// applied, and checks at the end that the page logged no error, requested nothing but its own
// files and posted only catalogue messages.
import assert from 'node:assert/strict';
import { createRequire } from 'node:module';
import { fileURLToPath } from 'node:url';

import { openPage } from './browser.js';
import { helloMessage } from './fixtures.js';
import { hostDouble, hostDoubleScript } from './host_double.js';

export const UI_ROOT = process.env.NORVO_UI_ROOT ?? fileURLToPath(new URL('../../../ui', import.meta.url));

// Every type a page may post, as the bridge protocol lists them.
const catalogue = new Set(
  [
    'ready', 'setParam', 'beginEdit', 'endEdit', 'getState', 'setState', 'setCcMap', 'noteOn', 'noteOff',
    'loadFactoryPreset', 'setPadOverrides', 'loadBankPreset', 'loadBank', 'pickFolder', 'getBankState',
    'diag.subscribe', 'diag.unsubscribe', 'diag.stimulus',
  ].map((t) => `norvo.${t}`),
);

export async function openEditor(browser, url, { width = 640, height = 420, hello = helloMessage(), answers = {}, connected = true } = {}) {
  const initScripts = connected ? [hostDoubleScript({ 'norvo.ready': [hello], ...answers })] : [];
  const opened = await openPage(browser, { width, height, initScripts });
  await opened.page.goto(url);
  await opened.page.waitForFunction(() => document.documentElement.dataset.ready === 'true');
  const host = hostDouble(opened.page);
  // The page asks for the bank state as soon as the hello is in.
  if (connected) await opened.page.waitForFunction(() => window.__hostDouble.sent.some((m) => m.type === 'norvo.getBankState'));
  return {
    ...opened,
    host,
    async finish() {
      // Everything posted since the page opened (clear() empties only the working list).
      const sent = connected ? (await host.texts()).map((t) => JSON.parse(t)) : [];
      await opened.close();
      assert.deepEqual(opened.errors, [], 'the page logged errors');
      const elsewhere = opened.requests.filter((r) => !r.startsWith(url) && !r.startsWith('data:'));
      assert.deepEqual(elsewhere, [], 'the page reached beyond its own files');
      for (const message of sent) assert.ok(catalogue.has(message.type), `${message.type} is not a page message`);
      if (connected) assert.equal(sent[0]?.type, 'norvo.ready', 'the first message is norvo.ready');
    },
  };
}

// Runs axe-core on the page; returns the serious and critical violations as readable lines.
export async function seriousViolations(page) {
  const require = createRequire(import.meta.url);
  await page.addScriptTag({ path: require.resolve('axe-core/axe.min.js') });
  const violations = await page.evaluate(async () => (await window.axe.run(document, { resultTypes: ['violations'] })).violations);
  return violations
    .filter((v) => v.impact === 'serious' || v.impact === 'critical')
    .map((v) => `${v.id} (${v.impact}): ${v.nodes.map((n) => n.target.join(' ')).join(', ')}`);
}

// The notes the readout lists: [[note, MIDI velocity], ...].
export function readoutNotes(page) {
  return page.$$eval('#chord-notes li', (items) => items.map((li) => [Number(li.dataset.note), Number(li.dataset.velocity)]));
}

export function sentOfType(messages, ...types) {
  return messages.filter((m) => types.includes(m.type));
}
