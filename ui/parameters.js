// The plug-in's four parameters as the page shows them: path, label, plain range and step,
// and the value a fresh instance starts with. Values themselves always come from the plug-in
// (hello and "norvo.paramChanged"); these are only the ranges the controls offer.

export const PARAMETERS = Object.freeze([
  Object.freeze({ path: 'chord.on', label: 'On', min: 0, max: 1, step: 1, defaultPlain: 1 }),
  Object.freeze({ path: 'chord.mode', label: 'Mode', min: 0, max: 5, step: 1, defaultPlain: 0 }),
  Object.freeze({ path: 'chord.spread', label: 'Spread', min: -2, max: 2, step: 1, defaultPlain: 0 }),
  Object.freeze({
    path: 'chord.velocity',
    label: 'Velocity',
    min: 0,
    max: 1,
    step: 0,
    defaultPlain: 0.8,
  }),
]);

export function parameterByPath(path) {
  return PARAMETERS.find((p) => p.path === path) ?? null;
}

export function defaultValues() {
  return Object.fromEntries(PARAMETERS.map((p) => [p.path, p.defaultPlain]));
}

// "+1 octave", "−2 octaves", "no shift".
export function spreadText(spread) {
  if (spread === 0) return 'no shift';
  const sign = spread > 0 ? '+' : '−';
  const size = Math.abs(spread);
  return `${sign}${size} octave${size === 1 ? '' : 's'}`;
}

// "80 %" for 0.8.
export function percentText(fraction) {
  return `${Math.round(fraction * 100)} %`;
}
