// The page against the real plug-in: norvo-probe ui serves the built Chord.vst3's page with its
// controller and processor behind it, and chromium drives the page. What the page shows must
// be the plug-in's values; what the page does must change the plug-in (read back through the
// controller and the processor's state), and the plug-in's answers must reach the page.
import assert from 'node:assert/strict';
import { createHash } from 'node:crypto';
import { mkdirSync, mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { after, before, test } from 'node:test';
import { fileURLToPath } from 'node:url';

import { launchBrowser, openPage } from './support/browser.js';
import { readoutNotes, seriousViolations } from './support/editor_page.js';
import { getJson, startPreview } from './support/preview.js';

const repo = fileURLToPath(new URL('../..', import.meta.url));
const PROBE = process.env.NORVO_PROBE ?? path.join(repo, 'build/default/tools/norvo-probe');
const BUNDLE = process.env.NORVO_BUNDLE ?? path.join(repo, 'build/default/Chord.vst3');

let browser;
let folder;
before(async () => {
  browser = await launchBrowser();
  folder = mkdtempSync(path.join(tmpdir(), 'chord-preview-'));
});
after(async () => {
  await browser?.close();
  rmSync(folder, { recursive: true, force: true });
});

// One preview process with the page open in it; close() checks that the page logged no error.
async function openPreview() {
  const preview = startPreview(PROBE, ['ui', BUNDLE]);
  const url = await preview.url;
  const opened = await openPage(browser);
  await opened.page.goto(url);
  await opened.page.waitForFunction(() => document.getElementById('identity').textContent.includes('0.1.0'));
  return {
    ...opened,
    url,
    plugin: (what) => getJson(`${url}.norvo-probe/plugin/${what}`),
    processorState: async () => (await fetch(`${url}.norvo-probe/plugin/processor-state`)).text(),
    async close() {
      await opened.close();
      const ended = await preview.stop();
      assert.deepEqual(opened.errors, [], 'the page logged errors');
      assert.equal(ended.stderr.includes('malformed bridge message'), false, ended.stderr);
    },
  };
}

// Polls `read` until `accept` holds for its value (the preview ticks 30 times a second).
async function eventually(read, accept, what) {
  let value;
  for (let i = 0; i < 100; i += 1) {
    value = await read();
    if (accept(value)) return value;
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
  assert.fail(`${what}: last seen ${JSON.stringify(value)}`);
}

test('the hello values appear: a fresh instance, its identity and its host', async () => {
  const p = await openPreview();
  assert.equal(await p.page.isChecked('#chord-on'), true);
  assert.equal(await p.page.isChecked('#mode-0'), true);
  assert.equal(await p.page.inputValue('#spread'), '0');
  assert.equal(await p.page.textContent('#velocity-text'), '80 %');
  assert.deepEqual(await readoutNotes(p.page), [[60, 100], [72, 80]]);
  assert.match(await p.page.textContent('#identity'), /Chord 0\.1\.0.*music\.norvo\.chord/);
  assert.match(await p.page.textContent('#host-facts'), /Sample rate48000 Hz/);
  await p.close();
});

test('each control changes the plug-in\'s parameter; host changes move the control', async () => {
  const p = await openPreview();
  const edits = [
    ['chord.mode', 1, 3, 0.6, () => p.page.click('label[for="mode-3"]')],
    ['chord.spread', 2, 1, 0.75, () => p.page.focus('#spread').then(() => p.page.keyboard.press('ArrowRight'))],
    ['chord.velocity', 3, 0.81, 0.81, () => p.page.focus('#velocity').then(() => p.page.keyboard.press('ArrowRight'))],
    ['chord.on', 0, 0, 0, () => p.page.click('#chord-on')],
  ];
  for (const [path, id, plain, normalized, act] of edits) {
    await act();
    await eventually(() => p.plugin('controller'), (c) => Math.abs(c.params[id].normalized - normalized) < 1e-12, `controller ${path}`);
    await eventually(async () => JSON.parse(await p.processorState()).params[path], (v) => Math.abs(v - plain) < 1e-12, `processor ${path}`);
  }
  const hostEdits = [
    [1, 1, async () => p.page.isChecked('#mode-5')],
    [2, 0, async () => (await p.page.inputValue('#spread')) === '-2'],
    [0, 1, async () => p.page.isChecked('#chord-on')],
  ];
  for (const [id, normalized, moved] of hostEdits) {
    const response = await fetch(`${p.url}.norvo-probe/plugin/host-edit?id=${id}&normalized=${normalized}`, { method: 'POST' });
    assert.equal(response.status, 204);
    await eventually(moved, Boolean, `host edit of parameter ${id}`);
  }
  assert.deepEqual(await readoutNotes(p.page), [[60, 100], [40, 81], [43, 81], [46, 81]]);
  await p.close();
});

test('a CC binding made on the page answers the host\'s MIDI mapping and survives a reload', async () => {
  const p = await openPreview();
  await p.page.click('#tab-cc');
  await p.page.fill('#cc-number', '74');
  await p.page.selectOption('#cc-param', 'chord.mode');
  await p.page.click('#cc-submit');
  const mapping = await eventually(() => p.plugin('controller'), (c) => c.midiMapping.length > 0, 'MIDI mapping');
  assert.deepEqual(mapping.midiMapping, Array.from({ length: 16 }, (_, channel) => ({ channel, cc: 74, id: 1 })));
  await p.page.reload();
  await p.page.click('#tab-cc');
  await eventually(() => p.page.textContent('#cc-list'), (t) => t.includes('CC 74, any channel → Mode'), 'binding after reload');
  await p.close();
});

test('settings exported from one instance and imported into a fresh one give identical state', async () => {
  const a = await openPreview();
  await a.page.click('label[for="mode-2"]');
  await a.page.focus('#spread');
  await a.page.keyboard.press('ArrowLeft');
  await a.page.click('#tab-cc');
  await a.page.fill('#cc-number', '12');
  await a.page.click('#cc-submit');
  await eventually(() => a.processorState(), (s) => s.includes('"ccMap"') && JSON.parse(s).params['chord.spread'] === -1, 'edits in instance A');
  await a.page.click('#tab-settings');
  await a.page.click('#state-export');
  await eventually(() => a.page.inputValue('#state-text'), (t) => t.includes('"params"'), 'export');
  const exported = await a.page.inputValue('#state-text');
  const stateA = await a.processorState();

  const b = await openPreview();
  assert.notEqual(await b.processorState(), stateA);
  await b.page.click('#tab-settings');
  await b.page.fill('#state-text', exported);
  await b.page.click('#state-import');
  await eventually(() => b.processorState(), (s) => s === stateA, 'state of instance B');
  await a.close();
  await b.close();
});

// A bank folder the loader accepts: one instrument whose one zone plays a short WAV.
function writeBankFolder(root) {
  mkdirSync(root, { recursive: true });
  const frames = 64;
  const wav = Buffer.alloc(44 + frames * 2);
  wav.write('RIFF', 0);
  wav.writeUInt32LE(36 + frames * 2, 4);
  wav.write('WAVEfmt ', 8);
  wav.writeUInt32LE(16, 16);
  wav.writeUInt16LE(1, 20);
  wav.writeUInt16LE(1, 22);
  wav.writeUInt32LE(48000, 24);
  wav.writeUInt32LE(96000, 28);
  wav.writeUInt16LE(2, 32);
  wav.writeUInt16LE(16, 34);
  wav.write('data', 36);
  wav.writeUInt32LE(frames * 2, 40);
  for (let i = 0; i < frames; i += 1) wav.writeInt16LE(Math.round(8000 * Math.sin(i / 4)), 44 + i * 2);
  writeFileSync(path.join(root, 'a.wav'), wav);
  const sha256 = createHash('sha256').update(wav).digest('hex');
  writeFileSync(path.join(root, 'bank.json'), JSON.stringify({
    format: 'norvo-sound-pack/v1', id: 'fixture-bank', version: '1.0', name: 'Fixture',
    assetTable: [{ id: 'a', path: 'a.wav', bytes: wav.length, sha256 }],
    instruments: [{ id: 'keys', name: 'Keys', document: 'keys.json' }],
  }));
  writeFileSync(path.join(root, 'keys.json'), JSON.stringify({ format: 'norvo-sampler-instrument/v1', zones: [{ assetId: 'a' }] }));
}

test('a valid bank folder shows the engine\'s refusal; a missing folder shows bank-missing', async () => {
  const bank = path.join(folder, 'bank');
  writeBankFolder(bank);
  const p = await openPreview();
  await p.page.click('#tab-bank');
  await p.page.fill('#bank-path', bank);
  await p.page.click('#bank-load');
  const refused = await eventually(() => p.page.textContent('#bank-result'), (t) => t.includes('Refused'), 'refusal');
  assert.ok(refused.includes('bank-too-large'), refused);
  assert.ok(refused.includes('the engine refused the staged bank (arena capacity)'), refused);
  await p.page.fill('#bank-path', path.join(folder, 'no-such-bank'));
  await p.page.click('#bank-load');
  await eventually(() => p.page.textContent('#bank-result'), (t) => t.includes('bank-missing'), 'missing bank');
  assert.deepEqual(await seriousViolations(p.page), []);
  await p.close();
});
