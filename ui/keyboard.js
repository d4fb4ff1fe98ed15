// The keyboard picture: all 128 notes, scrollable, at least two octaves in view. For the key
// the pointer is over (or else the selected key) it marks the notes the plug-in will send and
// lists them with their velocities, following the parameters live. Pressing a key (pointer,
// Space or Enter) sends "norvo.noteOn" and releasing it "norvo.noteOff". Only the selected key
// is in the tab order; arrow keys, Page Up/Down, Home and End move the selection.

import {
  applyParameters,
  chordFor,
  HIGHEST_NOTE,
  isBlackKey,
  LOWEST_NOTE,
  noteName,
  velocityFromMidi,
  velocityToMidi,
} from './chord_rules.js';
import { byId, el, fill } from './dom.js';

const MOVES = {
  ArrowLeft: -1,
  ArrowRight: 1,
  ArrowDown: -1,
  ArrowUp: 1,
  PageDown: -12,
  PageUp: 12,
};

function buildKeys(container) {
  const keys = [];
  let whiteIndex = 0;
  for (let note = LOWEST_NOTE; note <= HIGHEST_NOTE; note += 1) {
    const black = isBlackKey(note);
    const key = el(
      'button',
      {
        type: 'button',
        class: black ? 'key black' : 'key white',
        'data-note': note,
        'aria-label': `${noteName(note)}, note ${note}`,
        tabindex: -1,
        style: `--x: ${whiteIndex}`,
      },
      !black && note % 12 === 0 ? el('span', { class: 'key-name', 'aria-hidden': 'true' }, noteName(note)) : null,
    );
    if (!black) whiteIndex += 1;
    keys.push(key);
    container.append(key);
  }
  container.style.setProperty('--white-keys', String(whiteIndex));
  return keys;
}

export function setUpKeyboard(link, store) {
  const container = byId('keyboard');
  const scroller = byId('keyboard-scroll');
  const velocityInput = byId('key-velocity');
  const velocityOut = byId('key-velocity-text');
  const title = byId('chord-title');
  const list = byId('chord-notes');
  const skipped = byId('chord-skipped');
  const keys = buildKeys(container);

  let settings = applyParameters(store.values);
  let selected = 60;
  let hovered = null;
  let held = null;
  let marked = [];

  const keyVelocity = () => Number(velocityInput.value);

  function render() {
    const root = hovered ?? selected;
    const chord = chordFor(root, velocityFromMidi(keyVelocity()), settings);
    for (const key of marked) {
      key.classList.remove('chord-root', 'chord-tone');
      key.style.removeProperty('--level');
    }
    marked = chord.notes.map(({ note, velocity }, index) => {
      const key = keys[note];
      key.classList.add(index === 0 ? 'chord-root' : 'chord-tone');
      key.style.setProperty('--level', String(velocity));
      return key;
    });
    title.textContent = `${noteName(root)} (${root}) sends`;
    fill(
      list,
      chord.notes.map(({ note, velocity }, index) =>
        el(
          'li',
          { 'data-note': note, 'data-velocity': velocityToMidi(velocity) },
          el('span', { class: 'note-name' }, noteName(note)),
          ` ${note}`,
          el('span', { class: 'note-velocity' }, ` velocity ${velocityToMidi(velocity)}`),
          index === 0 ? el('span', { class: 'note-role' }, ' (root)') : null,
        ),
      ),
    );
    skipped.hidden = chord.skipped.length === 0;
    skipped.textContent = `Left out, beyond note 127 or below 0: ${chord.skipped.join(', ')}`;
  }

  function release() {
    if (held === null) return;
    keys[held].classList.remove('held');
    link.send('norvo.noteOff', { note: held, velocity: 0 });
    held = null;
  }

  function press(note) {
    release();
    held = note;
    keys[note].classList.add('held');
    link.send('norvo.noteOn', { note, velocity: velocityFromMidi(keyVelocity()) });
  }

  function select(note, { focus = false } = {}) {
    const clamped = Math.min(Math.max(note, LOWEST_NOTE), HIGHEST_NOTE);
    keys[selected].tabIndex = -1;
    keys[selected].removeAttribute('aria-current');
    selected = clamped;
    keys[selected].tabIndex = 0;
    keys[selected].setAttribute('aria-current', 'true');
    if (focus) {
      keys[selected].focus({ preventScroll: true });
      keys[selected].scrollIntoView({ block: 'nearest', inline: 'nearest' });
    }
    render();
  }

  container.addEventListener('keydown', (event) => {
    if (event.key in MOVES) {
      event.preventDefault();
      release();
      select(selected + MOVES[event.key], { focus: true });
    } else if (event.key === 'Home' || event.key === 'End') {
      event.preventDefault();
      release();
      select(event.key === 'Home' ? LOWEST_NOTE : HIGHEST_NOTE, { focus: true });
    } else if (event.key === ' ' || event.key === 'Enter') {
      event.preventDefault();
      if (!event.repeat && held === null) press(selected);
    }
  });
  container.addEventListener('keyup', (event) => {
    if (event.key === ' ' || event.key === 'Enter') release();
  });
  container.addEventListener('focusout', release);

  container.addEventListener('pointerdown', (event) => {
    const key = event.target.closest('.key');
    if (!key || event.button !== 0) return;
    event.preventDefault();
    select(Number(key.dataset.note));
    keys[selected].focus({ preventScroll: true });
    press(selected);
  });
  for (const type of ['pointerup', 'pointercancel']) container.addEventListener(type, release);
  container.addEventListener('pointerover', (event) => {
    const key = event.target.closest('.key');
    if (!key) return;
    hovered = Number(key.dataset.note);
    render();
  });
  container.addEventListener('pointerleave', () => {
    release();
    hovered = null;
    render();
  });

  velocityInput.addEventListener('input', () => {
    velocityOut.textContent = String(keyVelocity());
    render();
  });

  store.subscribe(() => {
    settings = applyParameters(store.values);
    render();
  });

  select(selected);
  // Start with the selected key in the middle of the view.
  requestAnimationFrame(() => {
    const key = keys[selected];
    scroller.scrollLeft = key.offsetLeft - (scroller.clientWidth - key.offsetWidth) / 2;
  });
}
