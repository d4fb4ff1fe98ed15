// Messages of any size over a SOCK_SEQPACKET Unix socket that never blocks its user.
//
// A message is cut into packets of at most kFragmentBytes payload; each packet starts with one
// byte saying whether more of the same message follows. The receiver joins them again. Sending
// queues what the socket does not take at once, and `flush` sends the rest later, so a peer that
// stops reading never blocks the sender; the queue is bounded and refused messages are counted.
// A message growing past the message limit on the receiving side is discarded whole and
// counted, as is a packet that is not one of ours.
// One thread at a time (each side uses its channel on its main thread).
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>

namespace norvo {

struct PacketChannelLimits {
  std::size_t message = 16 * 1024 * 1024;  // largest message sent or received
  std::size_t backlog = 64 * 1024 * 1024;  // bytes queued for sending
};

class PacketChannel {
 public:
  static constexpr std::size_t kFragmentBytes = 32 * 1024;

  using Limits = PacketChannelLimits;

  // Takes over `fd` (a connected SOCK_SEQPACKET socket) and makes it non-blocking; a negative
  // fd gives a closed channel.
  explicit PacketChannel(int fd, Limits limits = {});
  ~PacketChannel();
  PacketChannel(const PacketChannel&) = delete;
  PacketChannel& operator=(const PacketChannel&) = delete;

  int fd() const { return fd_; }
  // False once the peer has hung up, a socket error happened, or close() was called.
  bool open() const { return fd_ >= 0 && !hungUp_; }

  // Queues one message and sends what the socket takes now. False (and counted) when the
  // channel is not open, the message is larger than the message limit or the queue would pass
  // the backlog limit.
  bool send(std::string_view message);

  // Sends queued packets until the socket is full. Answers whether packets remain queued.
  bool flush();

  // Reads every packet available now and hands each complete message to `onMessage` (which may
  // send). Answers open().
  bool receive(const std::function<void(std::string_view message)>& onMessage);

  // Waits up to `milliseconds` for something to read (or a hang-up). Answers whether there is.
  bool waitReadable(int milliseconds) const;

  // Closes the socket; queued packets are dropped (not counted).
  void close();

  std::size_t backlogBytes() const { return backlogBytes_; }
  std::uint64_t droppedOutgoing() const { return droppedOutgoing_; }
  std::uint64_t droppedIncoming() const { return droppedIncoming_; }

 private:
  int fd_;
  Limits limits_;
  bool hungUp_ = false;
  std::deque<std::string> backlog_;  // whole packets, header byte included
  std::size_t backlogBytes_ = 0;
  std::string incoming_;
  bool partial_ = false;     // some packets of the current incoming message arrived
  bool discarding_ = false;  // the current incoming message is lost: skip to its last packet
  std::uint64_t droppedOutgoing_ = 0;
  std::uint64_t droppedIncoming_ = 0;
};

}  // namespace norvo
