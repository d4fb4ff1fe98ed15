// The browser preview's HTTP server: serves the UI root on 127.0.0.1 only, with the preview
// script injected into every HTML page, relays page messages to the plug-in side and
// page-bound texts back as server-sent events. It answers only requests addressed to
// 127.0.0.1:PORT or localhost:PORT from pages of that origin (which keeps other web pages and
// DNS-rebinding tricks out), and only files inside the UI root (see ui_file.h).
// Single-threaded: everything, the plug-in calls included, runs on the thread that calls
// serveFor (the main thread).
#pragma once

#include "tools/http_request.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace norvo::probe {

struct PreviewReply {
  int status = 200;
  std::string contentType = "application/json";
  std::string body;
};

// The plug-in side of the preview.
class PreviewEndpoint {
 public:
  virtual ~PreviewEndpoint() = default;
  // One page message text, in the order the page posted them.
  virtual void deliverPageMessage(std::string_view text) = 0;
  // A request under /.norvo-probe/plugin/ (`path` is what follows that prefix, query
  // included); nothing when the path is unknown.
  virtual std::optional<PreviewReply> pluginRequest(const std::string& method,
                                                    const std::string& path,
                                                    const std::string& body) = 0;
};

class UiServer {
 public:
  // `root` is the UI root; it must exist.
  UiServer(const std::filesystem::path& root, PreviewEndpoint& endpoint);
  ~UiServer();
  UiServer(const UiServer&) = delete;
  UiServer& operator=(const UiServer&) = delete;

  // Listens on 127.0.0.1:port; port 0 takes any free port. Throws ProbeError.
  void listen(int port);
  int port() const { return port_; }
  std::string url() const;

  // Waits up to `timeoutMs` for network activity and serves whatever arrived.
  void serveFor(int timeoutMs);

  // Queues one text for every open event stream.
  void broadcast(std::string_view text);
  size_t eventStreams() const;

 private:
  struct Client;

  void accept();
  void read(Client& client);
  void write(Client& client);
  void handle(Client& client);
  bool trustedOrigin(const HttpRequest& request) const;
  void respond(Client& client, int status, std::string_view contentType, std::string_view body,
               std::string_view extraHeaders = {});
  void serveFile(Client& client, const HttpRequest& request);
  void serveRelay(Client& client, const HttpRequest& request, const std::string& body);

  std::filesystem::path root_;
  PreviewEndpoint& endpoint_;
  int listener_ = -1;
  int port_ = 0;
  std::vector<std::unique_ptr<Client>> clients_;
};

}  // namespace norvo::probe
