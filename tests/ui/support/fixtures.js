// Plug-in messages shaped as the controller writes them, for page tests without a plug-in.

export function helloMessage({ on = 1, mode = 2, spread = 1, velocity = 0.5, ccMap, runtimeHealth, host } = {}) {
  const hello = {
    type: 'norvo.hello',
    plugin: { id: 'music.norvo.chord', name: 'Chord', vendor: 'Norvo Music', version: '0.1.0' },
    params: [
      { path: 'chord.on', value: on, normalized: on },
      { path: 'chord.mode', value: mode, normalized: mode / 5 },
      { path: 'chord.spread', value: spread, normalized: (spread + 2) / 4 },
      { path: 'chord.velocity', value: velocity, normalized: velocity },
    ],
    factoryPresets: [],
  };
  if (ccMap) hello.ccMap = ccMap;
  if (runtimeHealth) hello.runtimeHealth = runtimeHealth;
  hello.identity = {
    moduleId: 'music.norvo.chord',
    name: 'Chord',
    vendor: 'Norvo Music',
    version: '0.1.0',
    hostClass: 'effect',
    target: 'vst3',
    sdkVersion: '0.0.0',
    build: { mode: 'production', configuration: 'Release' },
    ui: { buildTime: '2025-01-01T00:00:00Z', sourceRevision: 'abc123', sha256: 'f'.repeat(64) },
    ratePolicy: { mode: 'host-native' },
    state: { version: 1, maxBytes: 65536 },
    ports: [{ id: 'midi-in', kind: 'midi', direction: 'input', busRole: 'main' }],
  };
  if (host) hello.host = host;
  hello.diagnostics = { feeds: [], commands: [], maxFeedHz: 0 };
  hello.presetState = { factoryCount: 0, dirty: false, userPresetsSupported: false, lastStateBytes: 91 };
  return hello;
}

export function healthReport(diagnostics = [], status = 'healthy') {
  return {
    format: 'norvo-runtime-health/v1',
    schemaVersion: 1,
    instanceId: 'vst3',
    lifecycle: 'configured',
    status,
    counters: { diagnostics: diagnostics.length, 'diagnostics.dropped': 0 },
    diagnostics,
  };
}

export function diagnostic(sequence, code, message, { severity = 'error', phase = 'load', detail } = {}) {
  const d = {
    format: 'norvo-plugin-runtime-diagnostic/v1',
    schemaVersion: 1,
    sequence,
    code,
    severity,
    phase,
    component: 'shell',
    message,
    recoverable: severity === 'info' || severity === 'warning',
    identity: { moduleId: 'music.norvo.chord', version: '0.1.0', target: 'vst3' },
    configuration: { sampleRate: 48000, maxBlockFrames: 512 },
    occurrence: { count: 1 },
  };
  if (detail) d.context = { detail };
  return d;
}

export function bankState({ reason = 'query', runtime, presets = [], error, pads = {} } = {}) {
  const state = { type: 'norvo.bankState', reason, stateVersion: 1, pads, banks: [] };
  if (runtime) state.runtime = runtime;
  state.presets = { bankScoped: presets.length > 0, items: presets };
  if (error) state.error = error;
  return state;
}

export function hostFacts() {
  return {
    hostName: 'norvo-probe',
    validatorHost: 'norvo-probe',
    sampleRate: 48000,
    maxBlockFrames: 512,
    processMode: 'realtime',
    sampleSize: 32,
    latencySamples: 0,
    tailSamples: 'unreported',
    buses: [],
  };
}
