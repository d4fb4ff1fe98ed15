// What the browser preview adds to every page it serves: the editor's own document-start
// script, unchanged except that the native message handler it posts to is replaced by a
// relay (page -> native: POST /.norvo-probe/post, one message text per line, sent in order;
// native -> page: server-sent events from /.norvo-probe/events, each handed to
// window.norvoHost._deliver). Main thread.
#pragma once

#include <string>
#include <string_view>

namespace norvo::probe {

// The editor web view's injected user script, character for character.
extern const char kEditorUserScript[];

// Where the preview's own endpoints live; no file of the UI root is served under it.
inline constexpr std::string_view kRelayPrefix = "/.norvo-probe/";

// The relay followed by the user script posting to it, as one script text.
std::string previewPageScript();

// `html` with previewPageScript() in a <script> element at the start of its head (after the
// <head> tag, else after the doctype, else at the very start), so it runs before any script
// of the page.
std::string injectPreviewScript(std::string_view html);

}  // namespace norvo::probe
