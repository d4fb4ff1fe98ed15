// The CC map as JSON: reading the map the plug-in sends (hello "ccMap", "norvo.ccMapChanged")
// into plain binding records, and writing records back in the plug-in's own form (default
// fields left out). Reading follows the plug-in's reader: bindings without a controller number
// or with an unknown parameter are dropped, numbers are rounded and clamped, unknown names
// read as the default, at most 64 bindings.

import { parameterByPath } from './parameters.js';

export const MAX_BINDINGS = 64;
export const CURVES = Object.freeze(['linear', 'exp', 'log', 's-curve']);
export const VALUE_MODES = Object.freeze([
  'absolute',
  'relative-signed-bit',
  'relative-binary-offset',
  'relative-twos-complement',
  'toggle',
]);
export const TAKEOVERS = Object.freeze(['immediate', 'pickup', 'scaled']);

// A binding as the page holds it. channel 0 means any channel; min/max null mean the
// parameter's own range.
export function defaultBinding() {
  return {
    cc: 0,
    channel: 0,
    path: 'chord.on',
    min: null,
    max: null,
    curve: 'linear',
    valueMode: 'absolute',
    takeover: 'immediate',
    enabled: true,
  };
}

function roundedInRange(n, lo, hi) {
  return Math.min(Math.max(Math.floor(n + 0.5), lo), hi);
}

function named(names, text) {
  return names.includes(text) ? text : names[0];
}

function readBinding(element) {
  if (!element || typeof element !== 'object' || Array.isArray(element)) return null;
  const binding = defaultBinding();
  if (typeof element.cc !== 'number') return null;
  binding.cc = roundedInRange(element.cc, 0, 127);
  if (typeof element.path !== 'string' || !parameterByPath(element.path)) return null;
  binding.path = element.path;
  if (typeof element.channel === 'number') binding.channel = roundedInRange(element.channel, 1, 16);
  if (typeof element.min === 'number') binding.min = element.min;
  if (typeof element.max === 'number') binding.max = element.max;
  if (typeof element.curve === 'string') binding.curve = named(CURVES, element.curve);
  if (typeof element.valueMode === 'string') binding.valueMode = named(VALUE_MODES, element.valueMode);
  if (typeof element.takeover === 'string') binding.takeover = named(TAKEOVERS, element.takeover);
  if (typeof element.enabled === 'boolean') binding.enabled = element.enabled;
  return binding;
}

// A map value ({"version":1,"bindings":[...]} or a bare bindings array) as binding records.
export function readCcMap(value) {
  let elements = [];
  if (Array.isArray(value)) elements = value;
  else if (value && typeof value === 'object' && Array.isArray(value.bindings)) elements = value.bindings;
  const bindings = [];
  for (const element of elements) {
    const binding = readBinding(element);
    if (binding && bindings.length < MAX_BINDINGS) bindings.push(binding);
  }
  return bindings;
}

// Binding records as the map object the plug-in reads, members in the plug-in's order.
export function writeCcMap(bindings) {
  return {
    version: 1,
    bindings: bindings.map((b) => {
      const out = { cc: b.cc, path: b.path };
      if (b.channel !== 0) out.channel = b.channel;
      if (b.min !== null) out.min = b.min;
      if (b.max !== null) out.max = b.max;
      if (b.curve !== 'linear') out.curve = b.curve;
      if (b.valueMode !== 'absolute') out.valueMode = b.valueMode;
      if (b.takeover !== 'immediate') out.takeover = b.takeover;
      if (!b.enabled) out.enabled = false;
      return out;
    }),
  };
}

const VALUE_MODE_TEXT = {
  absolute: 'absolute',
  'relative-signed-bit': 'relative, signed bit',
  'relative-binary-offset': 'relative, binary offset',
  'relative-twos-complement': "relative, two's complement",
  toggle: 'toggle button',
};

export function valueModeText(valueMode) {
  return VALUE_MODE_TEXT[valueMode] ?? valueMode;
}

// "CC 74, any channel → Mode" and the details line.
export function describeBinding(b) {
  const parameter = parameterByPath(b.path);
  const channel = b.channel === 0 ? 'any channel' : `channel ${b.channel}`;
  const min = b.min ?? parameter.min;
  const max = b.max ?? parameter.max;
  return {
    title: `CC ${b.cc}, ${channel} → ${parameter.label}`,
    details: [
      `range ${min} to ${max}${b.min === null && b.max === null ? " (parameter's own)" : ''}`,
      `${b.curve} curve`,
      valueModeText(b.valueMode),
      `${b.takeover} takeover`,
      b.enabled ? 'enabled' : 'disabled',
    ].join(', '),
  };
}
