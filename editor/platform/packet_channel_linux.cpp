// The packet channel on a Linux SOCK_SEQPACKET socket.
#include "editor/platform/packet_channel.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace norvo {

namespace {

constexpr char kMoreFollows = 'm';
constexpr char kLastPacket = 'e';

}  // namespace

PacketChannel::PacketChannel(int fd, Limits limits) : fd_(fd), limits_(limits) {
  if (fd_ < 0) return;
  const int flags = ::fcntl(fd_, F_GETFL);
  if (flags >= 0) ::fcntl(fd_, F_SETFL, flags | O_NONBLOCK);
}

PacketChannel::~PacketChannel() { close(); }

void PacketChannel::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  backlog_.clear();
  backlogBytes_ = 0;
  incoming_.clear();
  partial_ = false;
  discarding_ = false;
}

bool PacketChannel::send(std::string_view message) {
  const std::size_t packets =
      message.empty() ? 1 : (message.size() + kFragmentBytes - 1) / kFragmentBytes;
  if (!open() || message.size() > limits_.message ||
      backlogBytes_ + message.size() + packets > limits_.backlog) {
    ++droppedOutgoing_;
    return false;
  }
  for (std::size_t i = 0; i < packets; ++i) {
    std::string packet(1, i + 1 < packets ? kMoreFollows : kLastPacket);
    packet.append(message.substr(i * kFragmentBytes, kFragmentBytes));
    backlogBytes_ += packet.size();
    backlog_.push_back(std::move(packet));
  }
  flush();
  return true;
}

bool PacketChannel::flush() {
  while (open() && !backlog_.empty()) {
    const std::string& packet = backlog_.front();
    // MSG_NOSIGNAL: a peer that went away must not raise SIGPIPE in the host's process.
    const ssize_t sent = ::send(fd_, packet.data(), packet.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == ENOBUFS) break;
      hungUp_ = true;  // EPIPE, ECONNRESET, ...: the peer is gone
      break;
    }
    backlogBytes_ -= packet.size();
    backlog_.pop_front();
  }
  return !backlog_.empty();
}

bool PacketChannel::receive(const std::function<void(std::string_view message)>& onMessage) {
  std::vector<char> buffer(kFragmentBytes + 2);
  while (open()) {
    const ssize_t got = ::recv(fd_, buffer.data(), buffer.size(), MSG_DONTWAIT | MSG_TRUNC);
    if (got < 0) {
      if (errno == EINTR) continue;
      if (errno != EAGAIN && errno != EWOULDBLOCK) hungUp_ = true;
      break;
    }
    if (got == 0) {  // every packet has a header byte: zero bytes is the peer's hang-up
      hungUp_ = true;
      break;
    }
    const char header = buffer[0];
    const bool valid = static_cast<std::size_t>(got) <= kFragmentBytes + 1 &&
                       (header == kMoreFollows || header == kLastPacket);
    if (!valid) {
      // Not one of ours: one lost message, together with any message it interrupts (whose
      // remaining packets are skipped up to its last one).
      if (!discarding_) ++droppedIncoming_;
      discarding_ = discarding_ || partial_;
      partial_ = false;
      incoming_.clear();
      continue;
    }
    if (!discarding_) {
      partial_ = header == kMoreFollows;
      if (incoming_.size() + static_cast<std::size_t>(got - 1) > limits_.message) {
        ++droppedIncoming_;
        discarding_ = partial_;
        partial_ = false;
        incoming_.clear();
        continue;
      }
      incoming_.append(buffer.data() + 1, static_cast<std::size_t>(got - 1));
      if (header == kLastPacket) {
        const std::string message = std::move(incoming_);
        incoming_.clear();
        onMessage(message);
      }
    } else if (header == kLastPacket) {
      discarding_ = false;
    }
  }
  return open();
}

bool PacketChannel::waitReadable(int milliseconds) const {
  if (fd_ < 0) return false;
  pollfd watched{fd_, POLLIN, 0};
  while (true) {
    const int ready = ::poll(&watched, 1, milliseconds);
    if (ready < 0 && errno == EINTR) continue;
    return ready > 0;
  }
}

}  // namespace norvo
