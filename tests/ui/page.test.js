// The editor page in chromium behind a stand-in for the editor host: what it shows from the
// plug-in's messages, what it sends for each user action, keyboard-only operation, layout at
// the editor's sizes (screenshots are artifacts) and an axe-core accessibility check.
import assert from 'node:assert/strict';
import { after, before, describe, test } from 'node:test';

import { artifactPath, launchBrowser } from './support/browser.js';
import { openEditor, readoutNotes, seriousViolations, sentOfType, UI_ROOT } from './support/editor_page.js';
import { bankState, diagnostic, healthReport, helloMessage, hostFacts } from './support/fixtures.js';
import { serveFolder } from './support/static_server.js';

let server;
let browser;
before(async () => {
  server = await serveFolder(UI_ROOT);
  browser = await launchBrowser();
});
after(async () => {
  await browser?.close();
  await server?.close();
});

const open = (options) => openEditor(browser, server.url, options);
const hostVelocity = (midi) => Math.fround(midi / 127);
const REFUSAL = 'runtime bank load refused (bank-too-large): the engine refused the staged bank (arena capacity)';

describe('values from the plug-in', () => {
  test('the hello sets every control and the keyboard picture', async () => {
    const editor = await open({ hello: helloMessage({ on: 1, mode: 2, spread: 1, velocity: 0.5 }) });
    const { page } = editor;
    assert.equal(await page.isChecked('#chord-on'), true);
    assert.equal(await page.isChecked('#mode-2'), true);
    assert.equal(await page.inputValue('#spread'), '1');
    assert.equal(await page.textContent('#spread-text'), '+1 octave');
    assert.equal(await page.inputValue('#velocity'), '0.5');
    assert.equal(await page.textContent('#velocity-text'), '50 %');
    assert.deepEqual(await readoutNotes(page), [[60, 100], [76, 50], [79, 50]]);
    await editor.finish();
  });

  test('host changes move the controls and the picture', async () => {
    const editor = await open({ hello: helloMessage({ mode: 0, spread: 0, velocity: 0.8 }) });
    const { page, host } = editor;
    const changes = [
      ['chord.mode', 5, async () => assert.equal(await page.isChecked('#mode-5'), true), [[60, 100], [64, 80], [67, 80], [70, 80]]],
      ['chord.spread', -2, async () => assert.equal(await page.inputValue('#spread'), '-2'), [[60, 100], [40, 80], [43, 80], [46, 80]]],
      ['chord.velocity', 0.25, async () => assert.equal(await page.textContent('#velocity-text'), '25 %'), [[60, 100], [40, 25], [43, 25], [46, 25]]],
      ['chord.on', 0, async () => assert.equal(await page.isChecked('#chord-on'), false), [[60, 100]]],
    ];
    for (const [path, value, check, notes] of changes) {
      await host.deliver({ type: 'norvo.paramChanged', path, value, normalized: 0 });
      await check();
      assert.deepEqual(await readoutNotes(page), notes, `after ${path} = ${value}`);
    }
    await editor.finish();
  });
});

describe('edits from the page', () => {
  const gestures = [
    ['switch', (page) => page.click('#chord-on'), 'chord.on', [0]],
    ['mode choice', (page) => page.click('label[for="mode-4"]'), 'chord.mode', [4]],
    ['spread by key', (page) => page.focus('#spread').then(() => page.keyboard.press('ArrowLeft')), 'chord.spread', [0]],
    ['velocity by key', (page) => page.focus('#velocity').then(() => page.keyboard.press('ArrowRight')), 'chord.velocity', [0.51]],
  ];
  for (const [name, act, path, values] of gestures) {
    test(`${name}: one gesture, plain values`, async () => {
      const editor = await open({ hello: helloMessage({ on: 1, mode: 2, spread: 1, velocity: 0.5 }) });
      await editor.host.clear();
      await act(editor.page);
      const sent = sentOfType(await editor.host.sent(), 'norvo.beginEdit', 'norvo.setParam', 'norvo.endEdit');
      assert.deepEqual(sent, [
        { type: 'norvo.beginEdit', path },
        ...values.map((value) => ({ type: 'norvo.setParam', path, value })),
        { type: 'norvo.endEdit', path },
      ]);
      await editor.finish();
    });
  }

  test('a slider drag is one gesture however many values it passes', async () => {
    const editor = await open();
    const { page, host } = editor;
    const box = await page.locator('#velocity').boundingBox();
    await host.clear();
    await page.mouse.move(box.x + box.width * 0.5, box.y + box.height / 2);
    await page.mouse.down();
    for (const f of [0.6, 0.7, 0.8, 0.9]) await page.mouse.move(box.x + box.width * f, box.y + box.height / 2);
    await page.mouse.up();
    const types = (await host.sent()).map((m) => m.type);
    assert.equal(types[0], 'norvo.beginEdit');
    assert.equal(types.at(-1), 'norvo.endEdit');
    assert.ok(types.filter((t) => t === 'norvo.setParam').length >= 3, types.join(' '));
    assert.equal(types.filter((t) => t === 'norvo.beginEdit').length, 1);
    await editor.finish();
  });
});

describe('keyboard picture', () => {
  test('keys chosen by keyboard, played with Space, notes near both ends of the range', async () => {
    const editor = await open({ hello: helloMessage({ on: 1, mode: 5, spread: 2, velocity: 1 }) });
    const { page, host } = editor;
    await page.focus('#keyboard [data-note="60"]');
    const steps = [
      ['ArrowRight', 61, [[61, 100], [89, 100], [92, 100], [95, 100]]],
      ['PageUp', 73, [[73, 100], [101, 100], [104, 100], [107, 100]]],
      ['End', 127, [[127, 100]]],
      ['PageDown', 115, [[115, 100]]],
      ['ArrowLeft', 114, [[114, 100]]],
      ['Home', 0, [[0, 100], [28, 100], [31, 100], [34, 100]]],
    ];
    for (const [key, note, notes] of steps) {
      await page.keyboard.press(key);
      assert.equal(await page.evaluate(() => document.activeElement.dataset.note), String(note), key);
      assert.deepEqual(await readoutNotes(page), notes, `${key} to ${note}`);
    }
    assert.match(await page.textContent('#chord-skipped'), /^Left out.*$/);
    await host.clear();
    await page.keyboard.down('Space');
    await page.keyboard.up('Space');
    assert.deepEqual(await host.sent(), [
      { type: 'norvo.noteOn', note: 0, velocity: hostVelocity(100) },
      { type: 'norvo.noteOff', note: 0, velocity: 0 },
    ]);
    await editor.finish();
  });

  test('pointing at a key shows its chord; clicking plays it', async () => {
    const editor = await open({ hello: helloMessage({ on: 1, mode: 3, spread: 0, velocity: 0.5 }) });
    const { page, host } = editor;
    await page.hover('#keyboard [data-note="64"]');
    assert.equal(await page.textContent('#chord-title'), 'E4 (64) sends');
    assert.deepEqual(await readoutNotes(page), [[64, 100], [67, 50], [71, 50]]);
    await host.clear();
    await page.click('#keyboard [data-note="64"]');
    assert.deepEqual((await host.sent()).map((m) => [m.type, m.note]), [['norvo.noteOn', 64], ['norvo.noteOff', 64]]);
    await editor.finish();
  });

  test('tab order reaches every control; tabs switch with arrow keys', async () => {
    const editor = await open();
    const { page } = editor;
    const reached = [];
    for (let i = 0; i < 12; i += 1) {
      await page.keyboard.press('Tab');
      reached.push(await page.evaluate(() => document.activeElement.id || document.activeElement.getAttribute('aria-label')));
    }
    for (const id of ['chord-on', 'tab-play', 'mode-2', 'spread', 'velocity', 'key-velocity', 'C4, note 60']) {
      assert.ok(reached.includes(id), `${id} not reached: ${reached.join(' | ')}`);
    }
    await page.focus('#tab-play');
    for (const [key, panel] of [['ArrowRight', 'panel-cc'], ['End', 'panel-settings'], ['ArrowRight', 'panel-play']]) {
      await page.keyboard.press(key);
      assert.equal(await page.isVisible(`#${panel}`), true, `${key} shows ${panel}`);
      assert.equal(await page.evaluate(() => document.activeElement.getAttribute('aria-controls')), panel);
    }
    await editor.finish();
  });
});

describe('CC map editor', () => {
  test('adds, edits and removes bindings with every field, keeping the plug-in\'s map', async () => {
    const editor = await open();
    const { page, host } = editor;
    await page.click('#tab-cc');
    await page.fill('#cc-number', '74');
    await page.selectOption('#cc-channel', '2');
    await page.selectOption('#cc-param', 'chord.mode');
    await page.fill('#cc-min', '1');
    await page.fill('#cc-max', '4');
    await page.selectOption('#cc-curve', 'exp');
    await page.selectOption('#cc-value-mode', 'toggle');
    await page.selectOption('#cc-takeover', 'pickup');
    await page.uncheck('#cc-enabled');
    await page.press('#cc-number', 'Enter');
    const first = { cc: 74, path: 'chord.mode', channel: 2, min: 1, max: 4, curve: 'exp', valueMode: 'toggle', takeover: 'pickup', enabled: false };
    let maps = sentOfType(await host.sent(), 'norvo.setCcMap').map((m) => m.map);
    assert.deepEqual(maps, [{ version: 1, bindings: [first] }]);

    await host.deliver({ type: 'norvo.ccMapChanged', map: { version: 1, bindings: [first] } });
    assert.equal(await page.textContent('#cc-list .binding-title'), 'CC 74, channel 2 → Mode');

    await host.clear();
    await page.click('#cc-list button[data-action="edit-0"]');
    assert.equal(await page.inputValue('#cc-number'), '74');
    await page.fill('#cc-number', '75');
    await page.check('#cc-enabled');
    await page.click('#cc-submit');
    await page.fill('#cc-number', '1');
    await page.click('#cc-submit');
    await page.click('#cc-list button[data-action="remove-0"]');
    maps = sentOfType(await host.sent(), 'norvo.setCcMap').map((m) => m.map.bindings);
    const edited = { ...first, cc: 75 };
    delete edited.enabled;
    assert.deepEqual(maps, [[edited], [edited, { cc: 1, path: 'chord.on' }], [{ cc: 1, path: 'chord.on' }]]);
    await editor.finish();
  });

  test('a controller number outside 0..127 is refused in words and nothing is sent', async () => {
    const editor = await open();
    await editor.page.click('#tab-cc');
    await editor.host.clear();
    await editor.page.fill('#cc-number', '200');
    await editor.page.click('#cc-submit');
    assert.match(await editor.page.textContent('#cc-error'), /whole number from 0 to 127/);
    assert.deepEqual(await editor.host.sent(), []);
    await editor.finish();
  });
});

describe('bank panel', () => {
  test('a refused bank is explained in words with the plug-in\'s own report; a missing one too', async () => {
    const editor = await open();
    const { page, host } = editor;
    await page.click('#tab-bank');
    await page.fill('#bank-path', '/banks/piano');
    await page.click('#bank-load');
    assert.deepEqual(sentOfType(await host.sent(), 'norvo.loadBank'), [
      { type: 'norvo.loadBank', source: 'user-folder', bankPath: '/banks/piano', instrument: '' },
    ]);
    await host.deliver({ type: 'norvo.runtimeDiagnostics', report: healthReport([diagnostic(1, 'bank.missing', REFUSAL)], 'failed') });
    await host.deliver(bankState({ reason: 'loadBank', error: { code: 'bank-too-large', requestedId: '/banks/piano' } }));
    const refused = await page.textContent('#bank-result');
    for (const part of ['bank-too-large', "Chord's engine refused it", `The plug-in reports: ${REFUSAL}`]) {
      assert.ok(refused.includes(part), `${part} in: ${refused}`);
    }
    await host.deliver(bankState({ reason: 'loadBank', error: { code: 'bank-missing', requestedId: '/nowhere' } }));
    assert.match(await page.textContent('#bank-result'), /bank-missing \(\/nowhere\)No bank was found there/);
    await editor.finish();
  });

  test('hosted banks need a URL and a SHA-256; the folder picker\'s failure is shown', async () => {
    const editor = await open({ answers: { 'norvo.pickFolder': [{ type: 'norvo.folderPicked', ok: false, error: 'this build has no folder picker' }] } });
    const { page, host } = editor;
    await page.click('#tab-bank');
    await page.click('#bank-pick');
    await page.waitForFunction(() => document.getElementById('bank-error').textContent !== '');
    assert.equal(await page.textContent('#bank-error'), 'Choosing a folder failed: this build has no folder picker.');
    await page.check('input[value="hosted"]');
    assert.equal(await page.isVisible('#bank-path'), false);
    await page.fill('#bank-url', 'https://banks.example/piano.zip');
    await page.fill('#bank-sha', 'abc');
    await page.click('#bank-load');
    assert.match(await page.textContent('#bank-error'), /64 hexadecimal digits/);
    await page.fill('#bank-sha', 'AB'.repeat(32));
    await page.click('#bank-load');
    assert.deepEqual(sentOfType(await host.sent(), 'norvo.loadBank'), [
      { type: 'norvo.loadBank', source: 'hosted', url: 'https://banks.example/piano.zip', sha256: 'ab'.repeat(32), instrument: '' },
    ]);
    await editor.finish();
  });

  test('a loaded bank shows its instrument, positionings and presets; a preset can be chosen', async () => {
    const editor = await open();
    const { page, host } = editor;
    await page.click('#tab-bank');
    await host.deliver(bankState({
      reason: 'loadBank',
      runtime: { source: 'user-folder', locator: '/banks/kit', instrument: { id: 'kit', name: 'Kit', list: 'kits' }, positionings: [{ id: 'kit', name: 'Kit', list: 'kits' }] },
      presets: [{ id: 'bright', name: 'Bright', instrument: 'kit', params: { 'chord.mode': 2 } }],
    }));
    assert.match(await page.textContent('#bank-details'), /Kit \(kit, kits\)/);
    await host.clear();
    await page.click('#bank-presets button');
    assert.deepEqual(await host.sent(), [{ type: 'norvo.loadBankPreset', id: 'bright' }]);
    await editor.finish();
  });
});

describe('diagnostics and settings', () => {
  test('the lifecycle feed is subscribed while the status panel is open', async () => {
    const editor = await open({ hello: helloMessage({ host: hostFacts() }) });
    const { page, host } = editor;
    await host.clear();
    await page.click('#tab-status');
    const event = (seq, kind) => ({ seq, timeMs: seq * 10, kind });
    await host.deliver({ type: 'norvo.lifecycle', events: [event(1, 'created'), event(2, 'editorOpened')] });
    await host.deliver({ type: 'norvo.lifecycle', events: [event(3, 'stateSaved')] });
    await host.deliver({ type: 'norvo.lifecycle', events: [event(1, 'created'), event(2, 'editorOpened'), event(3, 'stateSaved')] });
    assert.deepEqual(await page.$$eval('#lifecycle-list li', (li) => li.map((l) => l.dataset.kind)), ['created', 'editorOpened', 'stateSaved']);
    await host.deliver({ type: 'norvo.hostChanged', host: { sampleRate: 44100 }, event: { seq: 4, timeMs: 0, kind: 'sampleRateChanged' } });
    assert.match(await page.textContent('#host-facts'), /Sample rate44100 Hz/);
    assert.match(await page.textContent('#host-changes'), /sampleRateChanged: sampleRate 44100/);
    await page.click('#tab-play');
    assert.deepEqual((await host.sent()).map((m) => m.type), ['norvo.diag.subscribe', 'norvo.diag.unsubscribe']);
    assert.deepEqual((await host.sent())[0], { type: 'norvo.diag.subscribe', feeds: ['lifecycle'], hz: 30 });
    await editor.finish();
  });

  test('settings export to JSON text and import back; text that is not JSON is refused', async () => {
    const state = { format: 'norvo-state/v1', params: { 'chord.mode': 3 }, ccMap: { version: 1, bindings: [] } };
    const editor = await open({ answers: { 'norvo.getState': [{ type: 'norvo.state', state }] } });
    const { page, host } = editor;
    await page.click('#tab-settings');
    await page.click('#state-export');
    await page.waitForFunction(() => document.getElementById('state-text').value !== '');
    assert.deepEqual(JSON.parse(await page.inputValue('#state-text')), state);
    await page.click('#state-import');
    await page.fill('#state-text', '{"params":');
    await page.click('#state-import');
    assert.match(await page.textContent('#state-message'), /not valid JSON/);
    assert.deepEqual(sentOfType(await host.sent(), 'norvo.setState'), [{ type: 'norvo.setState', state }]);
    await editor.finish();
  });

  test('without the plug-in the page says so and still shows a fresh instance\'s chords', async () => {
    const editor = await open({ connected: false });
    assert.equal(await editor.page.isVisible('#offline'), true);
    assert.deepEqual(await readoutNotes(editor.page), [[60, 100], [72, 80]]);
    await editor.finish();
  });
});

describe('layout and accessibility', () => {
  const panels = ['play', 'cc', 'bank', 'status', 'settings'];
  const filled = () => ({
    hello: helloMessage({
      host: hostFacts(),
      ccMap: { version: 1, bindings: [{ cc: 74, path: 'chord.mode', channel: 2, curve: 'exp' }, { cc: 1, path: 'chord.velocity', enabled: false }] },
      runtimeHealth: healthReport([diagnostic(1, 'bank.missing', REFUSAL)], 'failed'),
    }),
    answers: { 'norvo.getBankState': [bankState({ reason: 'loadBank', error: { code: 'bank-too-large', requestedId: '/banks/piano' } })] },
  });

  for (const [width, height] of [[640, 420], [320, 240], [1100, 800]]) {
    test(`${width} x ${height}: every panel fits the width, keeps two octaves in view and passes axe`, async () => {
      const editor = await open({ width, height, ...filled() });
      const { page } = editor;
      for (const panel of panels) {
        await page.click(`#tab-${panel}`);
        await page.screenshot({ path: artifactPath(`page-${width}x${height}-${panel}.png`) });
        const fit = await page.evaluate(() => ({
          page: document.documentElement.scrollWidth <= window.innerWidth,
          tabs: [...document.querySelectorAll('[role="tab"]')].every((t) => t.getBoundingClientRect().right <= window.innerWidth),
        }));
        assert.deepEqual(fit, { page: true, tabs: true }, `${panel} at ${width} x ${height}`);
        assert.deepEqual(await seriousViolations(page), [], `${panel} at ${width} x ${height}`);
      }
      await page.click('#tab-play');
      const octaves = await page.evaluate(() => {
        const c = document.querySelector('#keyboard [data-note="60"]').getBoundingClientRect().width;
        return document.getElementById('keyboard-scroll').clientWidth / (7 * c);
      });
      assert.ok(octaves >= 2, `${octaves.toFixed(2)} octaves in view`);
      await editor.finish();
    });
  }
});
