// The test page: it answers the test host's messages through the bridge. A module script, so
// it runs only when the scheme serves it as text/javascript.
const host = window.norvoHost;
const post = (message) => host.postMessage(message);

// A throwing handler must not keep the next one from running.
host.onMessage(() => { throw new Error("first handler always throws"); });
host.onMessage((message) => {
  switch (message.type) {
    case "test.echo":
      post({ type: "test.echoed", payload: message.payload });
      break;
    case "test.size":
      requestAnimationFrame(() => requestAnimationFrame(() =>
        post({ type: "test.size", width: window.innerWidth, height: window.innerHeight })));
      break;
    case "test.fetch":
      fetch(message.path)
        .then(async (response) => post({
          type: "test.fetched", path: message.path, status: response.status,
          contentType: response.headers.get("content-type"), body: await response.text() }))
        .catch(() => post({ type: "test.fetched", path: message.path, failed: true }));
      break;
    case "test.postObject":
      window.webkit.messageHandlers.norvo.postMessage({ type: "test.object" });
      post({ type: "test.afterObject" });
      break;
  }
});
document.getElementById("status").textContent = "ready";
post({ type: "norvo.ready" });
window.reportFrame = () => post({ type: "test.frame", hasNorvoHost: window.frameReport });
if (window.frameReport !== null) window.reportFrame();
