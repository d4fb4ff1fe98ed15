// The browser preview's HTTP server.
#include "tools/ui_server.h"

#include "tools/probe_error.h"
#include "tools/ui_file.h"
#include "tools/ui_page_script.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

namespace norvo::probe {

namespace fs = std::filesystem;

namespace {

constexpr size_t kMaxClients = 64;
constexpr size_t kMaxHeadBytes = 16 * 1024;
constexpr size_t kMaxBodyBytes = 1024 * 1024;
// An event stream that stops reading is dropped once this much waits for it.
constexpr size_t kMaxPendingEventBytes = 8 * 1024 * 1024;

const char* reason(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 204:
      return "No Content";
    case 400:
      return "Bad Request";
    case 403:
      return "Forbidden";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 413:
      return "Content Too Large";
    case 431:
      return "Request Header Fields Too Large";
    case 503:
      return "Service Unavailable";
    default:
      return "Error";
  }
}

void setNonBlocking(int fd) { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL, 0) | O_NONBLOCK); }

// Content-Length as a plain decimal number; false for anything else.
bool parseLength(const std::string& text, size_t& length) {
  if (text.empty() || text.size() > 12 ||
      !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return false;
  length = std::stoull(text);
  return true;
}

// One event of the event-stream format; line breaks inside the text become separate data
// lines, which the browser joins again.
std::string eventFrame(std::string_view text) {
  std::string frame;
  size_t start = 0;
  while (true) {
    const size_t end = text.find_first_of("\r\n", start);
    frame += "data: ";
    frame += text.substr(start, end == std::string_view::npos ? end : end - start);
    frame += "\n";
    if (end == std::string_view::npos) break;
    start = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
  }
  return frame + "\n";
}

bool readWholeFile(const fs::path& file, std::string& bytes) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

}  // namespace

struct UiServer::Client {
  int fd = -1;
  std::string in;
  std::string out;
  bool headRead = false;
  HttpRequest request;
  size_t bodyLength = 0;
  bool handled = false;
  bool closeWhenWritten = false;
  bool eventStream = false;
  bool dead = false;
};

UiServer::UiServer(const fs::path& root, PreviewEndpoint& endpoint)
    : root_(fs::canonical(root)), endpoint_(endpoint) {}

UiServer::~UiServer() {
  for (auto& client : clients_) close(client->fd);
  if (listener_ >= 0) close(listener_);
}

void UiServer::listen(int port) {
  if (port < 0 || port > 65535) throw ProbeError("--port must be between 0 and 65535");
  listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener_ < 0) throw ProbeError(std::string("cannot open a socket: ") + std::strerror(errno));
  const int yes = 1;
  setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener_, 16) != 0)
    throw ProbeError("cannot listen on 127.0.0.1:" + std::to_string(port) + ": " +
                     std::strerror(errno));
  socklen_t size = sizeof address;
  getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
  port_ = ntohs(address.sin_port);
  setNonBlocking(listener_);
}

std::string UiServer::url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }

size_t UiServer::eventStreams() const {
  return static_cast<size_t>(std::count_if(
      clients_.begin(), clients_.end(), [](const auto& c) { return c->eventStream && !c->dead; }));
}

void UiServer::serveFor(int timeoutMs) {
  std::vector<pollfd> fds;
  fds.push_back({listener_, POLLIN, 0});
  for (const auto& client : clients_) {
    // Requests are read until answered; an event stream is only watched for its end.
    short events = client->handled ? 0 : POLLIN;
    if (client->eventStream) events |= POLLRDHUP;
    if (!client->out.empty()) events |= POLLOUT;
    fds.push_back({client->fd, events, 0});
  }
  if (poll(fds.data(), fds.size(), timeoutMs) <= 0) return;

  // Clients accepted now are polled next time; those known are served in order.
  const size_t known = clients_.size();
  if (fds[0].revents & POLLIN) accept();
  for (size_t i = 0; i < known; ++i) {
    Client& client = *clients_[i];
    const short revents = fds[i + 1].revents;
    if (revents & (POLLERR | POLLNVAL | POLLHUP | POLLRDHUP)) client.dead = true;
    if (!client.dead && (revents & POLLIN)) read(client);
    if (!client.dead && !client.out.empty()) write(client);
  }
  clients_.erase(std::remove_if(clients_.begin(), clients_.end(),
                                [](const std::unique_ptr<Client>& c) {
                                  if (c->dead) close(c->fd);
                                  return c->dead;
                                }),
                 clients_.end());
}

void UiServer::accept() {
  while (true) {
    const int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) return;
    if (clients_.size() >= kMaxClients) {
      close(fd);
      continue;
    }
    auto client = std::make_unique<Client>();
    client->fd = fd;
    clients_.push_back(std::move(client));
  }
}

void UiServer::read(Client& client) {
  char buffer[16384];
  bool peerClosed = false;
  while (true) {
    const ssize_t n = recv(client.fd, buffer, sizeof buffer, 0);
    if (n > 0) {
      client.in.append(buffer, static_cast<size_t>(n));
      if (client.in.size() > kMaxHeadBytes + kMaxBodyBytes) break;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    if (n < 0) {
      client.dead = true;
      return;
    }
    peerClosed = true;
    break;
  }
  handle(client);
  if (peerClosed && !client.handled) client.dead = true;
}

void UiServer::write(Client& client) {
  while (!client.out.empty()) {
    const ssize_t n = send(client.fd, client.out.data(), client.out.size(), MSG_NOSIGNAL);
    if (n > 0) {
      client.out.erase(0, static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
    client.dead = true;
    return;
  }
  if (client.closeWhenWritten) client.dead = true;
}

void UiServer::broadcast(std::string_view text) {
  const std::string frame = eventFrame(text);
  for (auto& client : clients_) {
    if (!client->eventStream || client->dead) continue;
    if (client->out.size() + frame.size() > kMaxPendingEventBytes) {
      client->dead = true;
      continue;
    }
    client->out += frame;
    write(*client);
  }
}

void UiServer::respond(Client& client, int status, std::string_view contentType,
                       std::string_view body, std::string_view extraHeaders) {
  std::string head = "HTTP/1.1 " + std::to_string(status) + " " + reason(status) + "\r\n";
  if (!contentType.empty()) head += "Content-Type: " + std::string(contentType) + "\r\n";
  head += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  head +=
      "Cache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\n"
      "Referrer-Policy: no-referrer\r\nConnection: close\r\n";
  head += extraHeaders;
  head += "\r\n";
  client.out += head;
  client.out += body;
  client.closeWhenWritten = true;
  client.handled = true;
  client.in.clear();
  write(client);
}

bool UiServer::trustedOrigin(const HttpRequest& request) const {
  const std::string port = std::to_string(port_);
  const std::string host = request.header("host");
  if (host != "127.0.0.1:" + port && host != "localhost:" + port) return false;
  bool hasOrigin = false;
  const std::string origin = request.header("origin", &hasOrigin);
  if (hasOrigin && origin != "http://127.0.0.1:" + port && origin != "http://localhost:" + port)
    return false;
  const std::string site = request.header("sec-fetch-site");
  return site != "cross-site" && site != "same-site";
}

void UiServer::handle(Client& client) {
  if (client.handled) return;
  if (!client.headRead) {
    size_t end = client.in.find("\r\n\r\n");
    size_t skip = 4;
    if (end == std::string::npos) {
      end = client.in.find("\n\n");
      skip = 2;
    }
    if (end == std::string::npos) {
      if (client.in.size() > kMaxHeadBytes)
        respond(client, 431, "text/plain", "request head too large\n");
      return;
    }
    if (end > kMaxHeadBytes) return respond(client, 431, "text/plain", "request head too large\n");
    if (!parseHttpRequestHead(std::string_view(client.in).substr(0, end), client.request))
      return respond(client, 400, "text/plain", "malformed request\n");
    client.in.erase(0, end + skip);
    client.headRead = true;
    bool hasLength = false;
    const std::string length = client.request.header("content-length", &hasLength);
    if (client.request.header("transfer-encoding") != "")
      return respond(client, 400, "text/plain", "chunked bodies are not accepted\n");
    if (hasLength && !parseLength(length, client.bodyLength))
      return respond(client, 400, "text/plain", "malformed Content-Length\n");
    if (client.bodyLength > kMaxBodyBytes)
      return respond(client, 413, "text/plain", "request body too large\n");
  }
  if (client.in.size() < client.bodyLength) return;

  const HttpRequest& request = client.request;
  const std::string body = client.in.substr(0, client.bodyLength);
  if (!trustedOrigin(request))
    return respond(client, 403, "text/plain", "norvo-probe answers only pages of " + url() + "\n");
  if (request.target.compare(0, kRelayPrefix.size(), kRelayPrefix) == 0)
    return serveRelay(client, request, body);
  if (request.method != "GET")
    return respond(client, 405, "text/plain", "only GET is served here\n", "Allow: GET\r\n");
  serveFile(client, request);
}

void UiServer::serveFile(Client& client, const HttpRequest& request) {
  const std::optional<fs::path> file = resolveUiFile(root_, request.target);
  std::string bytes;
  if (!file || !readWholeFile(*file, bytes))
    return respond(client, 404, "text/plain", "no such file in the UI root\n");
  const std::string type = uiMimeType(*file);
  if (type == "text/html") bytes = injectPreviewScript(bytes);
  respond(client, 200, type + "; charset=utf-8", bytes);
}

void UiServer::serveRelay(Client& client, const HttpRequest& request, const std::string& body) {
  const std::string path = request.target.substr(kRelayPrefix.size());
  if (path == "events" && request.method == "GET") {
    client.out +=
        "HTTP/1.1 200 OK\r\nContent-Type: text/event-stream\r\nCache-Control: no-store\r\n"
        "X-Content-Type-Options: nosniff\r\n\r\n: connected\n\n";
    client.eventStream = true;
    client.handled = true;
    client.in.clear();
    write(client);
    return;
  }
  if (path == "post") {
    if (request.method != "POST")
      return respond(client, 405, "text/plain", "page messages are POSTed\n", "Allow: POST\r\n");
    size_t start = 0;
    while (start <= body.size()) {
      size_t end = body.find('\n', start);
      if (end == std::string::npos) end = body.size();
      const std::string_view line = std::string_view(body).substr(start, end - start);
      if (!line.empty()) endpoint_.deliverPageMessage(line);
      start = end + 1;
    }
    return respond(client, 204, "", "");
  }
  constexpr std::string_view kPlugin = "plugin/";
  if (path.compare(0, kPlugin.size(), kPlugin) == 0) {
    if (std::optional<PreviewReply> reply =
            endpoint_.pluginRequest(request.method, path.substr(kPlugin.size()), body))
      return respond(client, reply->status, reply->contentType, reply->body);
  }
  respond(client, 404, "text/plain", "no such preview endpoint\n");
}

}  // namespace norvo::probe
