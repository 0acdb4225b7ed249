#include "transport/udp_link.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

#include "link/link_frame.h"
#include "transport/link_transport.h"
#include "transport/pty_pair.h"

namespace qv31 {
namespace {

using Bytes = std::vector<uint8_t>;

// The gateway's end: a plain UDP socket on 127.0.0.1.
class Peer {
 public:
  Peer() {
    fd_ = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a = Loopback(0);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t size = sizeof a;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &size);
    port_ = ntohs(a.sin_port);
  }
  ~Peer() { ::close(fd_); }
  uint16_t Port() const { return port_; }

  static sockaddr_in Loopback(uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    return a;
  }
  void SendTo(uint16_t port, const Bytes& bytes) {
    const sockaddr_in to = Loopback(port);
    ASSERT_EQ(::sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                       sizeof to),
              static_cast<ssize_t>(bytes.size()));
  }
  // One datagram, or nothing after two seconds.
  Bytes ReceiveOne() {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, 2000) <= 0) return {};
    Bytes b(2048);
    const ssize_t n = ::recv(fd_, b.data(), b.size(), 0);
    b.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return b;
  }

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
};

// Polls the non-blocking link until a block comes (the engine ticks the same way).
Bytes ReceiveBlockWithin(LinkTransport& link, int timeoutMs) {
  uint8_t buffer[LINK_BUFFER_SIZE];
  int32_t length = -5;
  WaitFor([&] { return link.ReceiveBlock(buffer, length); }, timeoutMs);
  return Bytes(buffer, buffer + std::max(length, 0));
}

TEST(UdpLink, OneBlockIsOneDatagramBothWays) {
  Peer gateway;
  LinkTransport link;
  ASSERT_TRUE(link.OpenUdp("127.0.0.1", std::to_string(gateway.Port())));
  EXPECT_EQ(link.ReplyTimeoutMs(), 500);
  ASSERT_NE(link.Udp().LocalPort(), 0);
  const Bytes first(17, 0xA5), second = {1, 2, 3};
  ASSERT_TRUE(link.SendBlock(17, first.data()));
  ASSERT_TRUE(link.SendBlock(3, second.data()));
  EXPECT_EQ(gateway.ReceiveOne(), first);
  EXPECT_EQ(gateway.ReceiveOne(), second);

  uint8_t buffer[LINK_BUFFER_SIZE];
  int32_t length = -5;
  EXPECT_FALSE(link.ReceiveBlock(buffer, length));  // nothing waiting: returns at once
  EXPECT_EQ(length, 0);
  gateway.SendTo(link.Udp().LocalPort(), {9, 8, 7});
  gateway.SendTo(link.Udp().LocalPort(), {6});
  EXPECT_EQ(ReceiveBlockWithin(link, 2000), (Bytes{9, 8, 7}));
  EXPECT_EQ(ReceiveBlockWithin(link, 2000), (Bytes{6}));
}

TEST(UdpLink, OversizedDatagramIsDroppedWhole) {
  Peer gateway;
  LinkTransport link;
  ASSERT_TRUE(link.OpenUdp("127.0.0.1", std::to_string(gateway.Port())));
  const uint16_t port = link.Udp().LocalPort();
  gateway.SendTo(port, Bytes(LINK_BUFFER_SIZE + 1, 0x11));
  gateway.SendTo(port, Bytes(LINK_BUFFER_SIZE, 0x22));
  gateway.SendTo(port, Bytes{0x33});
  EXPECT_EQ(ReceiveBlockWithin(link, 2000), Bytes(LINK_BUFFER_SIZE, 0x22));
  EXPECT_EQ(ReceiveBlockWithin(link, 2000), Bytes{0x33});
}

TEST(UdpLink, AnySenderAndHostNames) {
  Peer gateway, stranger;
  LinkTransport link;
  ASSERT_TRUE(link.OpenUdp("localhost", std::to_string(gateway.Port())));
  ASSERT_TRUE(link.Udp().HasTarget());
  const Bytes block = {0x4F, 0x3F};
  ASSERT_TRUE(link.SendBlock(2, block.data()));
  EXPECT_EQ(gateway.ReceiveOne(), block);
  stranger.SendTo(link.Udp().LocalPort(), {5, 5});
  EXPECT_EQ(ReceiveBlockWithin(link, 2000), (Bytes{5, 5}));
}

TEST(UdpLink, UnusableTargetFailsEverySend) {
  for (const auto& [address, port] :
       {std::pair{"127.0.0.1", "0"}, std::pair{"127.0.0.1", "70000"}, std::pair{"", "2332"}}) {
    SCOPED_TRACE(std::string(address) + ":" + port);
    LinkTransport link;
    ASSERT_TRUE(link.OpenUdp(address, port));  // the socket itself is fine
    const uint8_t b = 1;
    EXPECT_FALSE(link.SendBlock(1, &b));
    EXPECT_FALSE(link.OpenErrorText().empty());
  }
}

}  // namespace
}  // namespace qv31
