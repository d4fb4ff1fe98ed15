// The page's one way to the plug-in: `window.norvoHost`, which the editor injects before any
// page script runs. Outgoing messages are limited to the bridge's catalogue of page messages;
// incoming ones are handed to the handlers registered for their "type".

export const PAGE_MESSAGE_TYPES = Object.freeze([
  'norvo.ready',
  'norvo.setParam',
  'norvo.beginEdit',
  'norvo.endEdit',
  'norvo.getState',
  'norvo.setState',
  'norvo.setCcMap',
  'norvo.noteOn',
  'norvo.noteOff',
  'norvo.loadFactoryPreset',
  'norvo.setPadOverrides',
  'norvo.loadBankPreset',
  'norvo.loadBank',
  'norvo.pickFolder',
  'norvo.getBankState',
  'norvo.diag.subscribe',
  'norvo.diag.unsubscribe',
  'norvo.diag.stimulus',
]);

const allowed = new Set(PAGE_MESSAGE_TYPES);

export function createHostLink(host) {
  const handlers = new Map();
  const connected = Boolean(host) && typeof host.postMessage === 'function';

  function dispatch(message) {
    if (!message || typeof message !== 'object' || typeof message.type !== 'string') return;
    for (const handler of handlers.get(message.type) ?? []) handler(message);
    for (const handler of handlers.get('*') ?? []) handler(message);
  }

  if (connected && typeof host.onMessage === 'function') host.onMessage(dispatch);

  return {
    connected,
    // Posts {type, ...fields}; false when there is no plug-in to post to.
    send(type, fields = {}) {
      if (!allowed.has(type)) throw new Error(`${type} is not a page message`);
      if (!connected) return false;
      host.postMessage({ type, ...fields });
      return true;
    },
    // `type` "*" receives every message after the handlers of its own type.
    on(type, handler) {
      if (!handlers.has(type)) handlers.set(type, []);
      handlers.get(type).push(handler);
    },
    // Delivers a message as if it came from the plug-in (used when working without one).
    dispatch,
  };
}
