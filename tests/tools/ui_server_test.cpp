// The browser preview's server over real sockets on 127.0.0.1, with a recording stand-in for
// the plug-in side: what it serves, whom it refuses, and the relay in both directions.
#include "tools/ui_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

namespace norvo::probe {
namespace {

namespace fs = std::filesystem;

// Records page messages and answers each with "echo:<text>" on the event streams.
class RecordingEndpoint final : public PreviewEndpoint {
 public:
  UiServer* server = nullptr;
  void deliverPageMessage(std::string_view text) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      messages_.emplace_back(text);
    }
    server->broadcast("echo:" + std::string(text));
  }
  std::optional<PreviewReply> pluginRequest(const std::string& method, const std::string& path,
                                            const std::string& body) override {
    if (path != "state") return std::nullopt;
    return PreviewReply{200, "application/json", method + " " + body};
  }
  std::vector<std::string> messages() {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> messages_;
};

int connectTo(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  timeval timeout{5, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  return fd;
}

void sendAll(int fd, const std::string& text) {
  ASSERT_EQ(send(fd, text.data(), text.size(), MSG_NOSIGNAL), static_cast<ssize_t>(text.size()));
}

// Reads until `until` has been seen (or, when empty, until the server closes).
std::string receive(int fd, const std::string& until = "") {
  std::string text;
  char buffer[4096];
  while (until.empty() || text.find(until) == std::string::npos) {
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  return text;
}

class UiServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/ui-server-XXXXXX";
    base_ = mkdtemp(pattern);
    fs::create_directories(base_ / "ui");
    std::ofstream(base_ / "ui" / "index.html") << "<!DOCTYPE html><head><title>page</title>";
    std::ofstream(base_ / "ui" / "main.js") << "export {};";
    std::ofstream(base_ / "secret.txt") << "secret";
    server_ = std::make_unique<UiServer>(base_ / "ui", endpoint_);
    endpoint_.server = server_.get();
    server_->listen(0);
    host_ = "127.0.0.1:" + std::to_string(server_->port());
    thread_ = std::thread([this] {
      while (!stop_) server_->serveFor(10);
    });
  }
  void TearDown() override {
    stop_ = true;
    thread_.join();
    server_.reset();
    fs::remove_all(base_);
  }

  // One whole exchange: the request as given, the response until the server closes.
  std::string exchange(const std::string& request) {
    const int fd = connectTo(server_->port());
    sendAll(fd, request);
    std::string response = receive(fd);
    close(fd);
    return response;
  }
  std::string get(const std::string& target, const std::string& headers = "") {
    return exchange("GET " + target + " HTTP/1.1\r\nHost: " + host_ + "\r\n" + headers + "\r\n");
  }
  std::string post(const std::string& target, const std::string& body) {
    return exchange("POST " + target + " HTTP/1.1\r\nHost: " + host_ +
                    "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
  }

  fs::path base_;
  RecordingEndpoint endpoint_;
  std::unique_ptr<UiServer> server_;
  std::string host_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

std::string statusLine(const std::string& response) {
  return response.substr(0, response.find("\r\n"));
}

TEST_F(UiServerTest, ServesPagesWithThePreviewScriptFirst) {
  const std::string page = get("/");
  EXPECT_EQ(statusLine(page), "HTTP/1.1 200 OK");
  EXPECT_NE(page.find("Content-Type: text/html; charset=utf-8\r\n"), std::string::npos);
  EXPECT_NE(page.find("\r\n\r\n<!DOCTYPE html><head><script>(function () {"), std::string::npos);
  EXPECT_NE(page.find("</script><title>page</title>"), std::string::npos);
  const std::string script = get("/main.js");
  EXPECT_NE(script.find("Content-Type: text/javascript; charset=utf-8\r\n"), std::string::npos);
  EXPECT_EQ(script.substr(script.size() - 10), "export {};");
}

TEST_F(UiServerTest, RefusesOtherHostsOriginsAndPathsOutsideTheRoot) {
  const std::string port = std::to_string(server_->port());
  const struct {
    std::string request;
    const char* status;
  } cases[] = {
      {"GET / HTTP/1.1\r\nHost: localhost:" + port + "\r\n\r\n", "HTTP/1.1 200 OK"},
      {"GET / HTTP/1.1\r\nHost: evil.example:" + port + "\r\n\r\n", "HTTP/1.1 403 Forbidden"},
      {"GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", "HTTP/1.1 403 Forbidden"},
      {"GET / HTTP/1.0\r\n\r\n", "HTTP/1.1 403 Forbidden"},
      {"GET / HTTP/1.1\r\nHost: " + host_ + "\r\nOrigin: http://evil.example\r\n\r\n",
       "HTTP/1.1 403 Forbidden"},
      {"POST /.norvo-probe/post HTTP/1.1\r\nHost: " + host_ +
           "\r\nSec-Fetch-Site: cross-site\r\nContent-Length: 1\r\n\r\nx",
       "HTTP/1.1 403 Forbidden"},
      {"GET /../secret.txt HTTP/1.1\r\nHost: " + host_ + "\r\n\r\n", "HTTP/1.1 404 Not Found"},
      {"GET /%2e%2e/secret.txt HTTP/1.1\r\nHost: " + host_ + "\r\n\r\n", "HTTP/1.1 404 Not Found"},
      {"GET /.norvo-probe/nothing HTTP/1.1\r\nHost: " + host_ + "\r\n\r\n",
       "HTTP/1.1 404 Not Found"},
      {"DELETE /index.html HTTP/1.1\r\nHost: " + host_ + "\r\n\r\n",
       "HTTP/1.1 405 Method Not Allowed"},
      {"GET /.norvo-probe/post HTTP/1.1\r\nHost: " + host_ + "\r\n\r\n",
       "HTTP/1.1 405 Method Not Allowed"},
      {"GET / HTTP/3\r\nHost: " + host_ + "\r\n\r\n", "HTTP/1.1 400 Bad Request"},
      {"POST /.norvo-probe/post HTTP/1.1\r\nHost: " + host_ +
           "\r\nContent-Length: 99999999\r\n\r\n",
       "HTTP/1.1 413 Content Too Large"},
  };
  for (const auto& c : cases) EXPECT_EQ(statusLine(exchange(c.request)), c.status) << c.request;
  EXPECT_TRUE(endpoint_.messages().empty());
}

TEST_F(UiServerTest, RelaysPageMessagesInOrderAndAnswersOnTheEventStream) {
  const int stream = connectTo(server_->port());
  sendAll(stream, "GET /.norvo-probe/events HTTP/1.1\r\nHost: " + host_ + "\r\n\r\n");
  const std::string opened = receive(stream, ": connected\n\n");
  EXPECT_EQ(statusLine(opened), "HTTP/1.1 200 OK");
  EXPECT_NE(opened.find("Content-Type: text/event-stream\r\n"), std::string::npos);

  EXPECT_EQ(statusLine(post("/.norvo-probe/post", "{\"type\":\"norvo.ready\"}\n\nsecond\r")),
            "HTTP/1.1 204 No Content");
  EXPECT_EQ(statusLine(post("/.norvo-probe/post", "line\nbreak")), "HTTP/1.1 204 No Content");
  EXPECT_EQ(endpoint_.messages(),
            (std::vector<std::string>{"{\"type\":\"norvo.ready\"}", "second\r", "line", "break"}));
  EXPECT_EQ(receive(stream, "echo:break\n\n"),
            "data: echo:{\"type\":\"norvo.ready\"}\n\ndata: echo:second\ndata: \n\n"
            "data: echo:line\n\ndata: echo:break\n\n");
  close(stream);

  const std::string reply = post("/.norvo-probe/plugin/state", "body");
  EXPECT_EQ(reply.substr(reply.find("\r\n\r\n") + 4), "POST body");
}

}  // namespace
}  // namespace norvo::probe
