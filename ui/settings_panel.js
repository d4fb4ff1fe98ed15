// Export and import of the whole settings as JSON text: "norvo.getState" asks the plug-in for
// its state document ("norvo.state" answers), "norvo.setState" hands one back.

import { byId } from './dom.js';

// The state document in an imported text: the document itself, or a whole "norvo.state"
// message. Returns {state} or {error}.
export function readImportedState(text) {
  if (text.trim() === '') return { error: 'Paste exported settings into the box first.' };
  let value;
  try {
    value = JSON.parse(text);
  } catch (error) {
    return { error: `These settings are not valid JSON (${error.message}).` };
  }
  if (value && typeof value === 'object' && value.type === 'norvo.state') value = value.state;
  if (!value || typeof value !== 'object' || Array.isArray(value)) {
    return { error: 'The settings must be one JSON object, as exported.' };
  }
  return { state: value };
}

export function setUpSettingsPanel(link) {
  const text = byId('state-text');
  const message = byId('state-message');
  let waiting = false;

  byId('state-export').addEventListener('click', () => {
    waiting = link.send('norvo.getState');
    message.textContent = waiting ? 'Asking the plug-in for its settings…' : 'Not connected to the plug-in.';
  });

  byId('state-import').addEventListener('click', () => {
    const { state, error } = readImportedState(text.value);
    if (error) {
      message.textContent = error;
      text.focus();
      return;
    }
    message.textContent = link.send('norvo.setState', { state })
      ? 'Settings imported: the plug-in applied the parameters, CC map and pad overrides they carry.'
      : 'Not connected to the plug-in.';
  });

  link.on('norvo.state', (reply) => {
    text.value = JSON.stringify(reply.state, null, 2);
    const size = new TextEncoder().encode(JSON.stringify(reply.state)).length;
    message.textContent = `${waiting ? 'Exported' : 'Received'} the settings (${size} bytes). Copy the text to keep it.`;
    waiting = false;
  });
}
