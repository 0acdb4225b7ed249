#include "transport/udp_link.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <tuple>

#include "link/link_frame.h"
#include "text/number_text.h"
#include "transport/link_transport.h"
#include "transport/pty_pair.h"

namespace qv31 {
namespace {

sockaddr_in Loopback(uint16_t port) { return {AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}}; }

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
  bool SendTo(uint16_t toPort, const Bytes& b) {
    const sockaddr_in to = Loopback(toPort);
    return ::sendto(fd, b.data(), b.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) ==
           static_cast<ssize_t>(b.size());
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

TEST(UdpLink, OneBlockIsOneWholeDatagramBothWaysFromAnySender) {
  Peer gateway, stranger;
  LinkTransport link;
  ASSERT_TRUE(
      link.OpenUdp("localhost", LeadingDecimal32(gateway.port)));  // a host name, resolved at open
  EXPECT_EQ(link.ReplyTimeoutMs(), 500);
  const Bytes first(17, 0xA5), second = {1, 2, 3};
  ASSERT_TRUE(link.SendBlock(17, first.data()));
  ASSERT_TRUE(link.SendBlock(3, second.data()));
  EXPECT_EQ(gateway.ReceiveOne(), first);
  EXPECT_EQ(gateway.ReceiveOne(), second);

  uint8_t buffer[LINK_BUFFER_SIZE];
  int32_t length = -5;
  EXPECT_FALSE(link.ReceiveBlock(buffer, length));  // nothing waiting: returns at once
  EXPECT_EQ(length, 0);
  const uint16_t local = link.Udp().LocalPort();
  ASSERT_TRUE(gateway.SendTo(local, {9, 8, 7}));
  ASSERT_TRUE(stranger.SendTo(local, {6}));
  // One byte too long for the buffer: dropped whole, not delivered cut.
  ASSERT_TRUE(gateway.SendTo(local, Bytes(LINK_BUFFER_SIZE + 1, 0x11)));
  ASSERT_TRUE(gateway.SendTo(local, Bytes(LINK_BUFFER_SIZE, 0x22)));
  for (const Bytes& expected : {Bytes{9, 8, 7}, Bytes{6}, Bytes(LINK_BUFFER_SIZE, 0x22)}) {
    length = 0;
    WaitFor([&] { return link.ReceiveBlock(buffer, length); }, 2000);
    EXPECT_EQ(Bytes(buffer, buffer + std::max(length, 0)), expected);
  }
}

TEST(UdpLink, UnusableTargetFailsEverySend) {
  const std::tuple<const char*, int32_t, UdpError> cases[] = {
      {"127.0.0.1", 70000, UdpError::BadPort}, {"", 2332, UdpError::Unresolved}};
  for (const auto& [address, port, reason] : cases) {
    SCOPED_TRACE(std::string(address) + ":" + std::to_string(port));
    LinkTransport link;
    ASSERT_TRUE(link.OpenUdp(address, port));  // the socket itself is fine
    const uint8_t b = 1;
    EXPECT_FALSE(link.SendBlock(1, &b));
    EXPECT_EQ(link.OpenError().udp, reason);
  }
}

}  // namespace
}  // namespace qv31
