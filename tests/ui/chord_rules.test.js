// The page's chord rules against the plug-in itself: for every mode and spread, several
// velocity scales and the generator switched off, norvo-probe plays roots across the whole
// range (both ends included) at velocities around the rounding edges through the built
// Chord.vst3, and the notes and velocities it sends must be exactly those the page shows.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { existsSync, mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { after, describe, test } from 'node:test';
import { fileURLToPath } from 'node:url';

import { applyParameters, chordFor, velocityFromMidi, velocityToMidi } from '../../ui/chord_rules.js';

const repo = fileURLToPath(new URL('../..', import.meta.url));
const PROBE = process.env.NORVO_PROBE ?? path.join(repo, 'build/default/tools/norvo-probe');
const BUNDLE = process.env.NORVO_BUNDLE ?? path.join(repo, 'build/default/Chord.vst3');

const ROOTS = [0, 1, 2, 3, 5, 7, 9, 10, 11, 12, 13, 23, 24, 25, 40, 60, 61, 64, 90, 102, 103, 104, 108, 109, 110, 111, 113, 114, 115, 116, 117, 118, 120, 121, 122, 124, 125, 126, 127];
const VELOCITIES = [1, 2, 63, 64, 100, 101, 127, 37];
const TICKS_PER_NOTE = 480;

// A format 0 Standard MIDI File: one note per slot, each released before the next begins.
function midiFile(notes) {
  const events = [];
  const variable = (n) => {
    const bytes = [n & 0x7f];
    for (let v = n >> 7; v > 0; v >>= 7) bytes.unshift(0x80 | (v & 0x7f));
    return bytes;
  };
  let last = 0;
  const at = (tick, bytes) => {
    events.push(...variable(tick - last), ...bytes);
    last = tick;
  };
  notes.forEach(({ note, velocity }, i) => {
    at(i * TICKS_PER_NOTE, [0x90, note, velocity]);
    at(i * TICKS_PER_NOTE + TICKS_PER_NOTE / 2, [0x80, note, 0]);
  });
  at(last, [0xff, 0x2f, 0x00]);
  const length = events.length;
  return Buffer.from([
    ...Buffer.from('MThd'), 0, 0, 0, 6, 0, 0, 0, 1, TICKS_PER_NOTE >> 8, TICKS_PER_NOTE & 0xff,
    ...Buffer.from('MTrk'), length >>> 24, (length >> 16) & 0xff, (length >> 8) & 0xff, length & 0xff, ...events,
  ]);
}

const folder = mkdtempSync(path.join(tmpdir(), 'chord-rules-'));
after(() => rmSync(folder, { recursive: true, force: true }));

const played = ROOTS.map((note, i) => ({ note, velocity: VELOCITIES[i % VELOCITIES.length] }));
const input = path.join(folder, 'in.mid');
writeFileSync(input, midiFile(played));

// The note-ons the plug-in sends, grouped by the input slot they belong to: [[note, velocity]].
function render(settings) {
  const args = ['render', BUNDLE, input, '-o', path.join(folder, 'out.mid')];
  for (const [name, value] of Object.entries(settings)) args.push('--set', `${name}=${value}`);
  const text = execFileSync(PROBE, args, { encoding: 'utf8' });
  const output = text.slice(text.indexOf('\noutput ('), text.indexOf('\nchords\n'));
  const slots = played.map(() => []);
  for (const line of output.split('\n').slice(3)) {
    const [, tick, , note, , velocity, event] = line.trim().split(/\s+/);
    if (event === 'on') slots[Number(tick) / TICKS_PER_NOTE].push([Number(note), Number(velocity)]);
  }
  return slots;
}

function shown(settings) {
  const generator = applyParameters(settings);
  return played.map(({ note, velocity }) =>
    chordFor(note, velocityFromMidi(velocity), generator).notes.map((n) => [n.note, velocityToMidi(n.velocity)]),
  );
}

const cases = [];
for (let mode = 0; mode <= 5; mode += 1) {
  for (let spread = -2; spread <= 2; spread += 1) cases.push({ 'chord.mode': mode, 'chord.spread': spread });
}
for (const velocity of [0, 0.37, 0.5, 1]) cases.push({ 'chord.mode': 5, 'chord.velocity': velocity });
cases.push({ 'chord.on': 0, 'chord.mode': 3, 'chord.spread': 2 });

describe('the keyboard picture plays what the plug-in plays', () => {
  test('the plug-in and norvo-probe are built', () => {
    assert.ok(existsSync(PROBE) && existsSync(BUNDLE), `build norvo-probe and Chord.vst3 first (${PROBE}, ${BUNDLE})`);
  });
  for (const settings of cases) {
    const name = Object.entries(settings).map(([k, v]) => `${k}=${v}`).join(' ');
    test(name, () => {
      const got = render(settings);
      const want = shown(settings);
      for (let i = 0; i < played.length; i += 1) {
        assert.deepEqual(got[i], want[i], `${name}: root ${played[i].note} velocity ${played[i].velocity}`);
      }
    });
  }
});
