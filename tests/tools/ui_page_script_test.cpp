// The script the browser preview puts into every page.
#include "tools/ui_page_script.h"

#include <gtest/gtest.h>

namespace norvo::probe {
namespace {

TEST(PreviewPageScript, IsTheEditorScriptWithOnlyTheNativeHandlerReplaced) {
  const std::string user = kEditorUserScript;
  const std::string preview = previewPageScript();
  const size_t at = preview.rfind("(function () {  if (window.norvoHost)");
  ASSERT_NE(at, std::string::npos);
  std::string tail = preview.substr(at);
  const std::string relay = "window.__norvoProbeRelay";
  ASSERT_EQ(tail.find(relay), tail.rfind(relay));
  tail.replace(tail.find(relay), relay.size(), "window.webkit.messageHandlers.norvo");
  EXPECT_EQ(tail, user);
  EXPECT_EQ(preview.find("window.webkit"), std::string::npos);
  EXPECT_EQ(preview.find("</script"), std::string::npos);  // it sits inside a script element
}

TEST(PreviewPageScript, GoesBeforeEveryScriptOfThePage) {
  const std::string element = "<script>" + previewPageScript() + "</script>";
  const struct {
    const char* html;
    const char* before;
    const char* after;
  } cases[] = {
      {"<!DOCTYPE html><html><head><title>t</title>", "<!DOCTYPE html><html><head>",
       "<title>t</title>"},
      {"<html>\n<HEAD lang=\"en\">\n<script src=m.js>", "<html>\n<HEAD lang=\"en\">",
       "\n<script src=m.js>"},
      {"<!doctype html>\n<header>x</header>", "<!doctype html>", "\n<header>x</header>"},
      {"<p>bare</p>", "", "<p>bare</p>"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(injectPreviewScript(c.html), c.before + element + c.after) << c.html;
}

}  // namespace
}  // namespace norvo::probe
