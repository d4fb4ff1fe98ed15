// The four parameter controls: the on/off switch, the six modes, spread and velocity scale.
// Every user change is one host edit gesture: "norvo.beginEdit" on the first change,
// "norvo.setParam" with the plain value on every change, "norvo.endEdit" when the control is
// released (the element's change event) or loses focus. Values from the plug-in move a control
// unless the user is in the middle of changing it.

import { MODES } from './chord_rules.js';
import { byId, el } from './dom.js';
import { percentText, spreadText } from './parameters.js';

function bindGesture(link, path, inputs, read, store) {
  const gesture = { open: false };
  const end = () => {
    if (!gesture.open) return;
    gesture.open = false;
    link.send('norvo.endEdit', { path });
  };
  for (const input of inputs) {
    input.addEventListener('input', () => {
      const value = read(input);
      if (!gesture.open) {
        gesture.open = true;
        link.send('norvo.beginEdit', { path });
      }
      link.send('norvo.setParam', { path, value });
      store.set(path, value, 'page');
    });
    input.addEventListener('change', end);
    input.addEventListener('blur', end);
  }
  return gesture;
}

function buildModeChoices(container) {
  return MODES.map((mode, index) => {
    const input = el('input', { type: 'radio', name: 'mode', value: index, id: `mode-${index}` });
    container.append(
      el(
        'label',
        { class: 'choice', for: `mode-${index}` },
        input,
        el('span', { class: 'choice-name' }, mode.name),
        ' ',
        el('span', { class: 'choice-intervals' }, mode.intervals.join(' ')),
      ),
    );
    return input;
  });
}

export function setUpPlayPanel(link, store) {
  const on = byId('chord-on');
  const modes = buildModeChoices(byId('mode-choices'));
  const spread = byId('spread');
  const spreadOut = byId('spread-text');
  const velocity = byId('velocity');
  const velocityOut = byId('velocity-text');

  const controls = {
    'chord.on': {
      gesture: bindGesture(link, 'chord.on', [on], (i) => (i.checked ? 1 : 0), store),
      write: (v) => {
        on.checked = v >= 0.5;
      },
    },
    'chord.mode': {
      gesture: bindGesture(link, 'chord.mode', modes, (i) => Number(i.value), store),
      write: (v) => {
        const index = Math.min(Math.max(Math.floor(v + 0.5), 0), modes.length - 1);
        modes.forEach((input, i) => {
          input.checked = i === index;
        });
      },
    },
    'chord.spread': {
      gesture: bindGesture(link, 'chord.spread', [spread], (i) => Number(i.value), store),
      write: (v) => {
        spread.value = String(v);
      },
    },
    'chord.velocity': {
      gesture: bindGesture(link, 'chord.velocity', [velocity], (i) => Number(i.value), store),
      write: (v) => {
        velocity.value = String(v);
      },
    },
  };

  // The texts beside the sliders follow the value wherever it came from.
  function describe(path, value) {
    if (path === 'chord.spread') {
      const text = spreadText(Math.round(value));
      spreadOut.textContent = text;
      spread.setAttribute('aria-valuetext', text);
    } else if (path === 'chord.velocity') {
      const text = percentText(value);
      velocityOut.textContent = text;
      velocity.setAttribute('aria-valuetext', text);
    }
  }

  store.subscribe((path, value, origin) => {
    const control = controls[path];
    if (!control) return;
    if (origin !== 'page') {
      if (control.gesture.open) return;
      control.write(value);
    }
    describe(path, value);
  });
  for (const [path, value] of Object.entries(store.values)) {
    controls[path]?.write(value);
    describe(path, value);
  }
}
