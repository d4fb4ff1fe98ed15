// The rules by which the plug-in turns one incoming note into a chord, for the keyboard
// picture: which notes a key sends and at which velocities. They follow the kernel's chord
// generator step for step (the same interval table, clamping, rounding and range checks), so
// the picture shows exactly what the plug-in plays.

export const LOWEST_NOTE = 0;
export const HIGHEST_NOTE = 127;
export const MAX_CHORD = 4;

// The six chord modes in the order of the "chord.mode" values 0..5: semitones above the root.
export const MODES = Object.freeze([
  Object.freeze({ name: 'root and octave', intervals: Object.freeze([0, 12]) }),
  Object.freeze({ name: 'root and fifth', intervals: Object.freeze([0, 7]) }),
  Object.freeze({ name: 'major triad', intervals: Object.freeze([0, 4, 7]) }),
  Object.freeze({ name: 'minor triad', intervals: Object.freeze([0, 3, 7]) }),
  Object.freeze({ name: 'suspended fourth', intervals: Object.freeze([0, 5, 7]) }),
  Object.freeze({ name: 'dominant seventh', intervals: Object.freeze([0, 4, 7, 10]) }),
]);

// What a fresh plug-in instance plays with.
export const DEFAULT_SETTINGS = Object.freeze({ on: true, mode: 0, spread: 0, velocity: 0.8 });

// Lower bound first, then upper bound.
function clamp(value, lo, hi) {
  let v = value;
  if (v < lo) v = lo;
  if (v > hi) v = hi;
  return v;
}

function roundHalfUp(x) {
  return Math.floor(x + 0.5);
}

function usable(value) {
  return typeof value === 'number' && !Number.isNaN(value);
}

// Applies plain parameter values ({"chord.on": 1, "chord.mode": 2, ...}) to generator settings
// the way the kernel applies each incoming value; a missing or NaN value keeps the current one.
export function applyParameters(plain, current = DEFAULT_SETTINGS) {
  const next = { ...current };
  const on = plain['chord.on'];
  const mode = plain['chord.mode'];
  const spread = plain['chord.spread'];
  const velocity = plain['chord.velocity'];
  if (usable(on)) next.on = on >= 0.5;
  if (usable(mode)) next.mode = roundHalfUp(clamp(mode, 0, MODES.length - 1));
  if (usable(spread)) next.spread = roundHalfUp(clamp(spread, -2, 2));
  if (usable(velocity)) next.velocity = clamp(velocity, 0, 1);
  return next;
}

// The velocity of every added chord tone for a root played at `velocity` (0..1): scaled, kept
// within 1..127 and rounded to a MIDI step.
export function addedVelocity(velocity, scale) {
  let scaled = velocity * 127 * scale;
  if (scaled > 127) scaled = 127;
  if (scaled < 1) scaled = 1;
  return roundHalfUp(scaled) / 127;
}

// The note-ons a note-on for `root` at `velocity` (0..1) produces, in the order they are sent:
// [{note, velocity}], root first. Chord tones outside 0..127 are left out; `skipped` lists them.
// A chord tone that lands on a pitch the chord already sounds (root and octave spread down one
// octave) is sent once: the plug-in never doubles a sounding note.
export function chordFor(root, velocity, settings = DEFAULT_SETTINGS) {
  const result = { notes: [], skipped: [] };
  if (!Number.isInteger(root) || root < LOWEST_NOTE || root > HIGHEST_NOTE) return result;
  if (!settings.on) {
    result.notes.push({ note: root, velocity });
    return result;
  }
  const intervals = MODES[settings.mode].intervals;
  const added = addedVelocity(velocity, settings.velocity);
  for (let i = 0; i < MAX_CHORD && i < intervals.length; i += 1) {
    let note = intervals[i] + root;
    if (i > 0) note += settings.spread * 12;
    if (note < LOWEST_NOTE || note > HIGHEST_NOTE) {
      result.skipped.push(note);
      continue;
    }
    if (result.notes.some((sent) => sent.note === note)) continue;
    result.notes.push({ note, velocity: i === 0 ? velocity : added });
  }
  return result;
}

// A MIDI velocity (1..127) as a host delivers it: a 32-bit float fraction of 127.
export function velocityFromMidi(midiVelocity) {
  return Math.fround(midiVelocity / 127);
}

// A velocity (0..1) as the MIDI step a host writes for it (the 32-bit float the plug-in sends,
// times 127, rounded to the nearest step).
export function velocityToMidi(velocity) {
  return clamp(Math.round(Math.fround(velocity) * 127), 0, 127);
}

const NOTE_NAMES = ['C', 'C♯', 'D', 'D♯', 'E', 'F', 'F♯', 'G', 'G♯', 'A', 'A♯', 'B'];

// "C4" for note 60; works for any integer (chord tones beyond the range too).
export function noteName(note) {
  const pitchClass = ((note % 12) + 12) % 12;
  return `${NOTE_NAMES[pitchClass]}${Math.floor(note / 12) - 1}`;
}

export function isBlackKey(note) {
  return [1, 3, 6, 8, 10].includes(((note % 12) + 12) % 12);
}
