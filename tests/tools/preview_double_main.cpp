// The browser preview's server with a scripted stand-in for the plug-in, for browser tests of
// the relay without a plug-in: `preview_double UI_ROOT ANSWERS.json`. ANSWERS.json holds one
// line per page message type, "<type> <JSON text to send back>"; every page message is kept
// and GET /.norvo-probe/plugin/messages lists them (a JSON array of the texts as received).
// Prints "open <url>" and serves until SIGTERM. Main thread.
#include "tools/ui_server.h"

#include <csignal>
#include <fstream>
#include <iostream>
#include <map>

namespace {

volatile std::sig_atomic_t stop = 0;
extern "C" void requestStop(int) { stop = 1; }

std::string jsonQuoted(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

class ScriptedPlugin final : public norvo::probe::PreviewEndpoint {
 public:
  explicit ScriptedPlugin(const std::string& answersFile) {
    std::ifstream in(answersFile);
    std::string line;
    while (std::getline(in, line)) {
      const size_t space = line.find(' ');
      if (space != std::string::npos)
        answers_.emplace(line.substr(0, space), line.substr(space + 1));
    }
  }
  norvo::probe::UiServer* server = nullptr;

  void deliverPageMessage(std::string_view text) override {
    received_.emplace_back(text);
    for (const auto& [type, answer] : answers_) {
      if (text.find("\"type\":" + jsonQuoted(type)) != std::string_view::npos)
        server->broadcast(answer);
    }
  }
  std::optional<norvo::probe::PreviewReply> pluginRequest(const std::string& method,
                                                          const std::string& path,
                                                          const std::string&) override {
    if (method != "GET" || path != "messages") return std::nullopt;
    std::string json = "[";
    for (size_t i = 0; i < received_.size(); ++i) json += (i ? "," : "") + jsonQuoted(received_[i]);
    return norvo::probe::PreviewReply{200, "application/json", json + "]"};
  }

 private:
  std::multimap<std::string, std::string> answers_;
  std::vector<std::string> received_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: preview_double UI_ROOT ANSWERS\n";
    return 2;
  }
  ScriptedPlugin plugin(argv[2]);
  norvo::probe::UiServer server(argv[1], plugin);
  plugin.server = &server;
  server.listen(0);
  std::signal(SIGTERM, requestStop);
  std::signal(SIGINT, requestStop);
  std::cout << "open " << server.url() << std::endl;
  while (!stop) server.serveFor(50);
  return 0;
}
