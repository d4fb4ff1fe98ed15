// The packet channel over a real SOCK_SEQPACKET socket pair: messages of every size arrive
// whole and in order, a peer that stops reading never blocks the sender, limits drop and count,
// foreign packets are skipped, and a peer that hangs up is noticed without SIGPIPE.
#include "editor/platform/packet_channel.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace norvo {
namespace {

constexpr std::size_t kFragment = PacketChannel::kFragmentBytes;

struct Pair {
  int fds[2] = {-1, -1};
  Pair() { EXPECT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds), 0); }
};

// A text of `size` bytes whose content depends on `seed`, so that mixed-up pieces show.
std::string pattern(std::size_t size, char seed) {
  std::string text(size, '\0');
  for (std::size_t i = 0; i < size; ++i) text[i] = static_cast<char>(seed + i * 7 % 251);
  return text;
}

std::vector<std::string> receiveAll(PacketChannel& channel) {
  std::vector<std::string> out;
  channel.receive([&](std::string_view m) { out.emplace_back(m); });
  return out;
}

TEST(PacketChannelTest, MessagesOfEverySizeArriveWholeAndInOrder) {
  Pair pair;
  PacketChannel sender(pair.fds[0]), receiver(pair.fds[1]);
  const std::size_t sizes[] = {0, 1, kFragment - 1, kFragment, kFragment + 1, 3 * kFragment + 5};
  std::vector<std::string> sent;
  for (const std::size_t size : sizes) {
    sent.push_back(pattern(size, static_cast<char>('a' + sent.size())));
    ASSERT_TRUE(sender.send(sent.back())) << size;
  }
  std::vector<std::string> got;
  for (int round = 0; round < 100 && got.size() < sent.size(); ++round) {
    receiver.receive([&](std::string_view m) { got.emplace_back(m); });
    sender.flush();
  }
  EXPECT_EQ(got, sent);
  EXPECT_EQ(sender.backlogBytes(), 0u);
  EXPECT_TRUE(receiver.open());
  EXPECT_EQ(receiver.droppedIncoming(), 0u);
}

TEST(PacketChannelTest, APeerThatStopsReadingNeverBlocksTheSender) {
  Pair pair;
  PacketChannel sender(pair.fds[0], {1 << 20, 8 << 20}), receiver(pair.fds[1]);
  // Far more than the socket buffers take: the rest waits in the backlog.
  std::vector<std::string> sent;
  for (int i = 0; i < 200; ++i) {
    sent.push_back(pattern(20000, static_cast<char>(i)));
    ASSERT_TRUE(sender.send(sent.back())) << i;
  }
  EXPECT_GT(sender.backlogBytes(), 0u);
  EXPECT_TRUE(sender.flush());

  std::vector<std::string> got;
  for (int round = 0; round < 1000 && got.size() < sent.size(); ++round) {
    receiver.receive([&](std::string_view m) { got.emplace_back(m); });
    sender.flush();
  }
  EXPECT_EQ(got, sent);
  EXPECT_EQ(sender.backlogBytes(), 0u);
  EXPECT_EQ(sender.droppedOutgoing(), 0u);
}

TEST(PacketChannelTest, LimitsDropAndCountWholeMessages) {
  Pair pair;
  PacketChannel sender(pair.fds[0], {1000, 1 << 20}), receiver(pair.fds[1], {100, 1 << 20});
  const struct {
    std::size_t size;
    bool sent;      // within the sender's message limit
    bool received;  // within the receiver's
  } cases[] = {{100, true, true},
               {101, true, false},
               {1000, true, false},
               {1001, false, false},
               {3, true, true}};
  std::vector<std::string> expected;
  std::uint64_t refused = 0, discarded = 0;
  for (const auto& c : cases) {
    const std::string message = pattern(c.size, 'x');
    EXPECT_EQ(sender.send(message), c.sent) << c.size;
    refused += c.sent ? 0 : 1;
    discarded += c.sent && !c.received ? 1 : 0;
    if (c.received) expected.push_back(message);
  }
  EXPECT_EQ(receiveAll(receiver), expected);
  EXPECT_EQ(sender.droppedOutgoing(), refused);
  EXPECT_EQ(receiver.droppedIncoming(), discarded);

  // The backlog limit: a peer that does not read fills it, then messages are refused.
  Pair stalled;
  PacketChannel filling(stalled.fds[0], {1 << 20, 256 * 1024});
  int accepted = 0;
  while (filling.send(pattern(10000, 'q')) && accepted < 10000) ++accepted;
  EXPECT_LT(accepted, 10000);
  EXPECT_EQ(filling.droppedOutgoing(), 1u);
  EXPECT_LE(filling.backlogBytes(), 256u * 1024);
  ::close(stalled.fds[1]);
}

TEST(PacketChannelTest, ForeignPacketsAreSkippedAndCounted) {
  Pair pair;
  PacketChannel receiver(pair.fds[1]);
  const int raw = pair.fds[0];
  const std::string packets[] = {
      "ehello",  // a whole message
      "x???",    // not ours
      "mpart",   // first piece of a message...
      "zzz",     // ...broken by a foreign packet: the message is lost
      "e-tail",  // the rest of the broken message is skipped
      "eafter",  // the next message arrives
  };
  for (const std::string& p : packets)
    ASSERT_EQ(::send(raw, p.data(), p.size(), 0), (ssize_t)p.size());
  EXPECT_EQ(receiveAll(receiver), (std::vector<std::string>{"hello", "after"}));
  EXPECT_EQ(receiver.droppedIncoming(), 2u);
  ::close(raw);
}

TEST(PacketChannelTest, AHungUpPeerIsNoticedWithoutSigpipe) {
  Pair pair;
  PacketChannel sender(pair.fds[0]);
  {
    PacketChannel gone(pair.fds[1]);
    ASSERT_TRUE(sender.send("last words"));
  }  // closes its end unread
  // Sending to a closed peer would raise SIGPIPE and end this test process without
  // MSG_NOSIGNAL.
  sender.send("anyone?");
  EXPECT_FALSE(sender.open());
  EXPECT_FALSE(sender.send("still?"));
  EXPECT_GE(sender.droppedOutgoing(), 1u);

  Pair other;
  PacketChannel reader(other.fds[0]);
  PacketChannel writer(other.fds[1]);
  writer.send("bye");
  writer.close();
  EXPECT_TRUE(reader.waitReadable(1000));
  EXPECT_EQ(receiveAll(reader), std::vector<std::string>{"bye"});
  EXPECT_FALSE(reader.open());

  PacketChannel none(-1);
  EXPECT_FALSE(none.open());
  EXPECT_FALSE(none.send("x"));
  EXPECT_FALSE(none.receive([](std::string_view) { FAIL(); }));
}

}  // namespace
}  // namespace norvo
