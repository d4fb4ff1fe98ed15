// The CC map editor: lists the bindings, adds, edits and removes them. Every change sends the
// whole map with "norvo.setCcMap"; the plug-in answers "norvo.ccMapChanged", and the list
// always shows the map the plug-in reports last (hello or ccMapChanged).

import {
  CURVES,
  defaultBinding,
  describeBinding,
  MAX_BINDINGS,
  readCcMap,
  TAKEOVERS,
  VALUE_MODES,
  valueModeText,
  writeCcMap,
} from './cc_map_format.js';
import { byId, el, fill } from './dom.js';
import { PARAMETERS } from './parameters.js';

function options(select, entries) {
  fill(
    select,
    entries.map(([value, text]) => el('option', { value }, text)),
  );
}

// The form's numbers: a whole controller number 0..127, optional finite range ends.
export function readBindingForm(fields) {
  const errors = [];
  const ccText = fields.cc.trim();
  const cc = Number(ccText);
  if (ccText === '' || !Number.isInteger(cc) || cc < 0 || cc > 127) {
    errors.push('The controller number must be a whole number from 0 to 127.');
  }
  const end = (text, name) => {
    if (text.trim() === '') return null;
    const n = Number(text);
    if (!Number.isFinite(n)) errors.push(`The ${name} must be a number or empty.`);
    return n;
  };
  const min = end(fields.min, 'minimum');
  const max = end(fields.max, 'maximum');
  return {
    errors,
    binding: {
      cc,
      channel: Number(fields.channel),
      path: fields.path,
      min,
      max,
      curve: fields.curve,
      valueMode: fields.valueMode,
      takeover: fields.takeover,
      enabled: fields.enabled,
    },
  };
}

export function setUpCcMapPanel(link) {
  const summary = byId('cc-summary');
  const list = byId('cc-list');
  const form = byId('cc-form');
  const formTitle = byId('cc-form-title');
  const submit = byId('cc-submit');
  const cancel = byId('cc-cancel');
  const error = byId('cc-error');
  const f = {
    cc: byId('cc-number'),
    channel: byId('cc-channel'),
    path: byId('cc-param'),
    min: byId('cc-min'),
    max: byId('cc-max'),
    curve: byId('cc-curve'),
    valueMode: byId('cc-value-mode'),
    takeover: byId('cc-takeover'),
    enabled: byId('cc-enabled'),
  };
  options(f.channel, [['0', 'any'], ...Array.from({ length: 16 }, (_, i) => [String(i + 1), String(i + 1)])]);
  options(f.path, PARAMETERS.map((p) => [p.path, `${p.label} (${p.path})`]));
  options(f.curve, CURVES.map((c) => [c, c]));
  options(f.valueMode, VALUE_MODES.map((m) => [m, valueModeText(m)]));
  options(f.takeover, TAKEOVERS.map((t) => [t, t]));

  let bindings = [];
  let editing = null; // index of the binding in the form, or null when adding

  function loadForm(binding) {
    f.cc.value = editing === null ? '' : String(binding.cc);
    f.channel.value = String(binding.channel);
    f.path.value = binding.path;
    f.min.value = binding.min === null ? '' : String(binding.min);
    f.max.value = binding.max === null ? '' : String(binding.max);
    f.curve.value = binding.curve;
    f.valueMode.value = binding.valueMode;
    f.takeover.value = binding.takeover;
    f.enabled.checked = binding.enabled;
    error.textContent = '';
  }

  function startAdding() {
    editing = null;
    formTitle.textContent = 'Add a binding';
    submit.textContent = 'Add binding';
    cancel.hidden = true;
    loadForm(defaultBinding());
    render();
  }

  function startEditing(index) {
    editing = index;
    formTitle.textContent = `Edit binding ${index + 1}`;
    submit.textContent = 'Save binding';
    cancel.hidden = false;
    loadForm(bindings[index]);
    f.cc.focus();
  }

  function send(next) {
    bindings = next;
    link.send('norvo.setCcMap', { map: writeCcMap(next) });
    render();
  }

  function remove(index) {
    if (editing !== null) startAdding();
    send(bindings.filter((_, i) => i !== index));
    // Focus goes to the binding that took the removed one's place, else to the form.
    const next = Math.min(index, bindings.length - 1);
    const button = list.querySelector(`[data-action="remove-${next}"]`);
    (button ?? f.cc).focus();
  }

  function render() {
    // The list is rebuilt; a focused button keeps its focus in the new list.
    const focused = list.contains(document.activeElement)
      ? document.activeElement.getAttribute('data-action')
      : null;
    summary.textContent =
      bindings.length === 0
        ? 'No bindings yet: MIDI controllers drive no parameter.'
        : `${bindings.length} of ${MAX_BINDINGS} bindings. The first binding that matches a controller and channel wins.`;
    fill(
      list,
      bindings.map((binding, index) => {
        const text = describeBinding(binding);
        return el(
          'li',
          { class: binding.enabled ? 'binding' : 'binding disabled', 'data-cc': binding.cc },
          el('span', { class: 'binding-title' }, text.title),
          el('span', { class: 'binding-details' }, text.details),
          el(
            'span',
            { class: 'buttons' },
            el(
              'button',
              {
                type: 'button',
                'data-action': `edit-${index}`,
                'aria-label': `Edit ${text.title}`,
                onclick: () => startEditing(index),
              },
              'Edit',
            ),
            el(
              'button',
              {
                type: 'button',
                'data-action': `remove-${index}`,
                'aria-label': `Remove ${text.title}`,
                onclick: () => remove(index),
              },
              'Remove',
            ),
          ),
        );
      }),
    );
    if (focused) list.querySelector(`[data-action="${focused}"]`)?.focus();
    const full = editing === null && bindings.length >= MAX_BINDINGS;
    submit.disabled = full;
    const fullText = `The map holds at most ${MAX_BINDINGS} bindings: remove one first.`;
    if (full) error.textContent = fullText;
    else if (error.textContent === fullText) error.textContent = '';
  }

  form.addEventListener('submit', (event) => {
    event.preventDefault();
    const { errors, binding } = readBindingForm({
      cc: f.cc.value,
      channel: f.channel.value,
      path: f.path.value,
      min: f.min.value,
      max: f.max.value,
      curve: f.curve.value,
      valueMode: f.valueMode.value,
      takeover: f.takeover.value,
      enabled: f.enabled.checked,
    });
    if (errors.length > 0) {
      error.textContent = errors.join(' ');
      f.cc.focus();
      return;
    }
    const next =
      editing === null ? [...bindings, binding] : bindings.map((b, i) => (i === editing ? binding : b));
    send(next);
    startAdding();
  });
  cancel.addEventListener('click', startAdding);

  const adopt = (map) => {
    bindings = readCcMap(map);
    if (editing !== null && editing >= bindings.length) startAdding();
    render();
  };
  link.on('norvo.hello', (hello) => adopt(hello.ccMap ?? []));
  link.on('norvo.ccMapChanged', (message) => adopt(message.map));

  startAdding();
}
