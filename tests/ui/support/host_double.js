// A stand-in for the plug-in's editor host: the script the editor injects into every page,
// with the native message handler replaced by a recorder. Messages the page posts are kept in
// window.__hostDouble.sent (parsed); the test delivers plug-in messages with deliver(), and
// may give canned answers per message type, delivered asynchronously like the real editor.

// The editor's document-start script, character for character.
export const USER_SCRIPT =
  '(function () {  if (window.norvoHost) { return; }  var handlers = [];  window.norvoHost = {' +
  '    postMessage: function (message) {      window.webkit.messageHandlers.norvo.postMessage(' +
  'JSON.stringify(message));    },    onMessage: function (handler) { handlers.push(handler); },' +
  '    _deliver: function (message) {      for (var i = 0; i < handlers.length; i += 1) {' +
  '        try { handlers[i](message); } catch (error) { console.error(error); }      }    }  };})();';

// Init script source: `answers` maps a page message type to the plug-in messages sent back.
export function hostDoubleScript(answers = {}) {
  return `
    window.__hostDouble = {
      sent: [],
      texts: [],
      answers: ${JSON.stringify(answers)},
      deliver(message) { window.norvoHost._deliver(message); },
    };
    window.webkit = { messageHandlers: { norvo: { postMessage(text) {
      const double = window.__hostDouble;
      double.texts.push(text);
      const message = JSON.parse(text);
      double.sent.push(message);
      for (const answer of double.answers[message.type] ?? []) {
        setTimeout(() => double.deliver(answer), 0);
      }
    } } } };
    ${USER_SCRIPT}`;
}

// Helpers for a page driven through the double.
export function hostDouble(page) {
  return {
    sent: () => page.evaluate(() => window.__hostDouble.sent),
    texts: () => page.evaluate(() => window.__hostDouble.texts),
    clear: () => page.evaluate(() => { window.__hostDouble.sent.length = 0; }),
    deliver: (message) => page.evaluate((m) => window.__hostDouble.deliver(m), message),
    answer: (type, messages) =>
      page.evaluate(([t, m]) => { window.__hostDouble.answers[t] = m; }, [type, messages]),
  };
}
