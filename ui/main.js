// The editor page: connects the panels to the plug-in and says "norvo.ready" once every
// handler is in place, so the hello that answers it finds them all.

import { setUpBankPanel } from './bank_panel.js';
import { setUpCcMapPanel } from './cc_map_panel.js';
import { byId } from './dom.js';
import { createHostLink } from './host_link.js';
import { setUpKeyboard } from './keyboard.js';
import { defaultValues, parameterByPath } from './parameters.js';
import { setUpPlayPanel } from './play_panel.js';
import { setUpSettingsPanel } from './settings_panel.js';
import { setUpStatusPanel } from './status_panel.js';
import { setUpTabs } from './tabs.js';

// The four plain parameter values the page shows, and who changed them last ('host' for the
// plug-in, 'page' for the page's own controls).
function createParameterStore() {
  const values = defaultValues();
  const listeners = [];
  return {
    values,
    set(path, value, origin) {
      if (!parameterByPath(path) || typeof value !== 'number' || Number.isNaN(value)) return;
      values[path] = value;
      for (const listener of listeners) listener(path, value, origin);
    },
    subscribe(listener) {
      listeners.push(listener);
    },
  };
}

function start() {
  const link = createHostLink(window.norvoHost);
  const store = createParameterStore();

  link.on('norvo.hello', (hello) => {
    for (const p of Array.isArray(hello.params) ? hello.params : []) store.set(p.path, p.value, 'host');
    if (typeof hello.plugin?.name === 'string' && hello.plugin.name !== '') {
      byId('plugin-name').textContent = hello.plugin.name;
      document.title = hello.plugin.name;
    }
  });
  link.on('norvo.paramChanged', (message) => store.set(message.path, message.value, 'host'));

  setUpPlayPanel(link, store);
  setUpKeyboard(link, store);
  setUpCcMapPanel(link);
  setUpBankPanel(link);
  setUpSettingsPanel(link);
  const status = setUpStatusPanel(link);
  setUpTabs(byId('tabs'), (panel) => status.setOpen(panel === 'panel-status'));
  window.addEventListener('pagehide', () => status.setOpen(false));

  byId('offline').hidden = link.connected;
  document.documentElement.dataset.ready = 'true';
  link.send('norvo.ready');
}

start();
