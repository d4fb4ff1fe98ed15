// The page's own reading and checking of what it receives and sends, without a browser: the CC
// map as the plug-in writes it, the binding form, refusal reports, the lifecycle list.
import assert from 'node:assert/strict';
import { describe, test } from 'node:test';

import { refusalReport } from '../../ui/bank_panel.js';
import { readCcMap, writeCcMap } from '../../ui/cc_map_format.js';
import { readBindingForm } from '../../ui/cc_map_panel.js';
import { mergeLifecycle } from '../../ui/status_panel.js';

describe('CC map as the plug-in writes it', () => {
  const one = (element) => readCcMap({ version: 1, bindings: [element] });
  const cases = [
    ['half a controller number rounds up', { cc: 74.5, path: 'chord.mode' }, { cc: 75 }],
    ['negative controller number', { cc: -3, path: 'chord.mode' }, { cc: 0 }],
    ['controller number above 127', { cc: 300, path: 'chord.mode' }, { cc: 127 }],
    ['channel 0 reads as channel 1', { cc: 1, path: 'chord.on', channel: 0 }, { channel: 1 }],
    ['channel 16.4', { cc: 1, path: 'chord.on', channel: 16.4 }, { channel: 16 }],
    ['no channel is any channel', { cc: 1, path: 'chord.on' }, { channel: 0 }],
    ['unknown curve reads as linear', { cc: 1, path: 'chord.on', curve: 'wobbly' }, { curve: 'linear' }],
    ['inverted range kept', { cc: 1, path: 'chord.spread', min: 2, max: -2 }, { min: 2, max: -2 }],
    ['enabled given as text keeps it enabled', { cc: 1, path: 'chord.on', enabled: 'no' }, { enabled: true }],
  ];
  for (const [name, element, expected] of cases) {
    test(name, () => {
      const [binding] = one(element);
      for (const [key, value] of Object.entries(expected)) assert.equal(binding[key], value, key);
    });
  }

  test('bindings without a controller number or with an unknown parameter are dropped; at most 64', () => {
    assert.deepEqual(one({ path: 'chord.on' }), []);
    assert.deepEqual(one({ cc: 3, path: 'chord.gain' }), []);
    const many = Array.from({ length: 65 }, (_, i) => ({ cc: i, path: 'chord.on' }));
    assert.equal(readCcMap(many).length, 64);
    assert.deepEqual(readCcMap({ version: 1 }), []);
  });

  test('writing leaves defaults out and reads back every field', () => {
    const full = { cc: 7, path: 'chord.velocity', channel: 3, min: 0.25, max: 0.75, curve: 's-curve', valueMode: 'relative-twos-complement', takeover: 'scaled', enabled: false };
    const plain = { cc: 8, path: 'chord.on' };
    const written = writeCcMap(readCcMap([full, plain, { ...plain, curve: 'linear', enabled: true }]));
    assert.deepEqual(written, { version: 1, bindings: [full, plain, plain] });
    assert.deepEqual(readCcMap(written), readCcMap([full, plain, plain]));
  });
});

describe('form checks', () => {
  const binding = (fields) => readBindingForm({ cc: '1', channel: '0', path: 'chord.on', min: '', max: '', curve: 'linear', valueMode: 'absolute', takeover: 'immediate', enabled: true, ...fields });
  const bindingCases = [
    [{ cc: '' }, 1], [{ cc: '128' }, 1], [{ cc: '1.5' }, 1], [{ cc: '127' }, 0],
    [{ min: 'x' }, 1], [{ min: '-0.5', max: '1e3' }, 0],
  ];
  for (const [fields, problems] of bindingCases) {
    test(`binding form ${JSON.stringify(fields)}: ${problems} problem(s)`, () => {
      assert.equal(binding(fields).errors.length, problems);
    });
  }

  test('binding form: empty range ends are the parameter\'s own', () => {
    assert.deepEqual([binding({}).binding.min, binding({ max: '4' }).binding.max], [null, 4]);
  });

  test('the newest refusal of that outcome is quoted, others are not', () => {
    const report = { diagnostics: [{ message: 'runtime bank load refused (bank-too-large): old' }, { message: 'runtime bank load refused (bank-missing): x' }, { message: 'runtime bank load refused (bank-too-large): new' }] };
    assert.equal(refusalReport(report, 'bank-too-large'), 'runtime bank load refused (bank-too-large): new');
    assert.equal(refusalReport(report, 'bank-malformed'), null);
    assert.equal(refusalReport(null, 'bank-missing'), null);
  });

});

test('lifecycle events are kept once each, in sequence order, the newest 256', () => {
  const events = (from, to) => Array.from({ length: to - from + 1 }, (_, i) => ({ seq: from + i, kind: 'stimulus' }));
  const merged = mergeLifecycle(mergeLifecycle([], events(5, 10)), [...events(1, 6), { kind: 'noSeq' }]);
  assert.deepEqual(merged.map((e) => e.seq), [1, 2, 3, 4, 5, 6, 7, 8, 9, 10]);
  assert.deepEqual(mergeLifecycle([], events(1, 300)).map((e) => e.seq).slice(0, 2), [45, 46]);
});
