#include "transport/udp_link.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include "link/link_frame.h"
#include "transport/link_transport.h"
#include "transport/pty_pair.h"

namespace qv31 {
namespace {

using Bytes = std::vector<uint8_t>;

sockaddr_in Loopback(uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(port);
  return a;
}

// The gateway's end: a plain UDP socket on 127.0.0.1.
struct Peer {
  Peer() {
    sockaddr_in a = Loopback(0);
    socklen_t size = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), size);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
    port = std::to_string(ntohs(a.sin_port));
  }
  ~Peer() { ::close(fd); }
  void SendTo(uint16_t to, const Bytes& bytes) {
    const sockaddr_in a = Loopback(to);
    ASSERT_EQ(::sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&a),
                       sizeof a),
              static_cast<ssize_t>(bytes.size()));
  }
  Bytes ReceiveOne() {  // one datagram, or nothing after two seconds
    pollfd p{fd, POLLIN, 0};
    Bytes b(2048);
    const ssize_t n = ::poll(&p, 1, 2000) > 0 ? ::recv(fd, b.data(), b.size(), 0) : 0;
    b.resize(static_cast<size_t>(std::max<ssize_t>(n, 0)));
    return b;
  }
  int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  std::string port;
};

// Polls the non-blocking link until a block comes, as the engine's ticks do.
Bytes NextBlock(LinkTransport& link) {
  uint8_t buffer[LINK_BUFFER_SIZE];
  int32_t length = -5;
  WaitFor([&] { return link.ReceiveBlock(buffer, length); }, 2000);
  return Bytes(buffer, buffer + std::max(length, 0));
}

TEST(UdpLink, OneBlockIsOneDatagramBothWaysFromAnySender) {
  Peer gateway, stranger;
  LinkTransport link;
  ASSERT_TRUE(link.OpenUdp("localhost", gateway.port));  // a host name, resolved at open
  EXPECT_EQ(link.ReplyTimeoutMs(), 500);
  const uint16_t local = link.Udp().LocalPort();
  ASSERT_NE(local, 0);
  const Bytes first(17, 0xA5), second = {1, 2, 3};
  ASSERT_TRUE(link.SendBlock(17, first.data()));
  ASSERT_TRUE(link.SendBlock(3, second.data()));
  EXPECT_EQ(gateway.ReceiveOne(), first);
  EXPECT_EQ(gateway.ReceiveOne(), second);

  uint8_t buffer[LINK_BUFFER_SIZE];
  int32_t length = -5;
  EXPECT_FALSE(link.ReceiveBlock(buffer, length));  // nothing waiting: returns at once
  EXPECT_EQ(length, 0);
  gateway.SendTo(local, {9, 8, 7});
  stranger.SendTo(local, {6});
  EXPECT_EQ(NextBlock(link), (Bytes{9, 8, 7}));
  EXPECT_EQ(NextBlock(link), (Bytes{6}));
}

TEST(UdpLink, OversizedDatagramIsDroppedWhole) {
  Peer gateway;
  LinkTransport link;
  ASSERT_TRUE(link.OpenUdp("127.0.0.1", gateway.port));
  const uint16_t local = link.Udp().LocalPort();
  gateway.SendTo(local, Bytes(LINK_BUFFER_SIZE + 1, 0x11));
  gateway.SendTo(local, Bytes(LINK_BUFFER_SIZE, 0x22));
  EXPECT_EQ(NextBlock(link), Bytes(LINK_BUFFER_SIZE, 0x22));
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
