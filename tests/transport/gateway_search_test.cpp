#include "transport/gateway_search.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <atomic>
#include <functional>
#include <thread>

#include "link/link_frame.h"
#include "sim/sim_process.h"
#include "transport/identity_probe.h"

namespace qv31 {
namespace {

using simtest::Bytes;
using simtest::SimProcess;

uint32_t Loop(uint32_t last) { return (127u << 24) | last; }  // 127.0.0.<last>

int BoundSocket(uint32_t address, uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{AF_INET, htons(port), {htonl(address)}, {}};
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  return fd;
}

uint16_t FreePort(uint32_t address) {
  const int fd = BoundSocket(address, 0);
  sockaddr_in a{};
  socklen_t size = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
  ::close(fd);
  return ntohs(a.sin_port);
}

Bytes IdentityReply(std::string_view text) {
  Bytes payload(18, 0);
  std::copy(text.begin(), text.end(), payload.begin());
  return EncodeFrame({AREA_IDENT, OP_READ_REPLY, 0, 18}, payload);
}

// A gateway played in this process: `answer` gets the number of the request (1, 2, ...) and
// gives the datagrams to send back; each goes from `replyFrom` when that is given.
class FakePeer {
 public:
  using Answer = std::function<std::vector<Bytes>(int)>;
  FakePeer(uint32_t address, uint16_t port, Answer answer, uint32_t replyFrom = 0)
      : fd_(BoundSocket(address, port)),
        out_(replyFrom != 0 ? BoundSocket(replyFrom, 0) : -1),
        thread_([this, answer] { Serve(answer); }) {}
  ~FakePeer() {
    stop_ = true;
    thread_.join();
    ::close(fd_);
    if (out_ >= 0) ::close(out_);
  }

 private:
  void Serve(const Answer& answer) {
    for (int count = 0; !stop_;) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      uint8_t buffer[2048];
      sockaddr_in from{};
      socklen_t size = sizeof from;
      if (::recvfrom(fd_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &size) <= 0)
        continue;
      for (const Bytes& reply : answer(++count)) {
        ::sendto(out_ >= 0 ? out_ : fd_, reply.data(), reply.size(), 0,
                 reinterpret_cast<sockaddr*>(&from), size);
      }
    }
  }
  int fd_;
  int out_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

TEST(GatewaySearch, RangesExpandToTheirAddresses) {
  const struct {
    const char* text;
    int32_t count;  // -1: refused
    uint32_t first = 0, last = 0;
  } cases[] = {
      {"10.1.2.3", 1, 0x0A010203, 0x0A010203},
      {"192.168.1.0/24", 254, 0xC0A80101, 0xC0A801FE},  // network and broadcast left out
      {"192.168.1.77/28", 14, 0xC0A80141, 0xC0A8014E},  // host bits of the address ignored
      {"10.0.0.5/30", 2, 0x0A000005, 0x0A000006},
      {"10.0.0.7/31", 2, 0x0A000006, 0x0A000007},
      {"10.0.0.7/32", 1, 0x0A000007, 0x0A000007},
      {"10.9.0.0/16", 65534, 0x0A090001, 0x0A09FFFE},
      {"10.0.0.250-10.0.1.2", 9, 0x0A0000FA, 0x0A000102},
      {"10.0.0.0-10.1.0.0", -1},  // 65537 addresses
      {"10.0.0.9-10.0.0.1", -1},
      {"10.0.0.0/15", -1},
      {"10.0.0.0/33", -1},
      {"10.0.0.0/", -1},
      {"10.0.0.0/2x", -1},
      {"10.0.0", -1},
      {"10.0.0.256", -1},
      {"10.0.0.1.5", -1},
      {"10.0.0.1 ", -1},
      {"10..0.1", -1},
      {"gateway.local", -1},
      {"", -1},
  };
  for (const auto& c : cases) {
    std::vector<uint32_t> out = {7};
    EXPECT_EQ(ExpandAddressRange(c.text, out), c.count) << c.text;
    if (c.count < 0) {
      EXPECT_EQ(out.size(), 1u) << c.text;
      continue;
    }
    ASSERT_EQ(out.size(), static_cast<size_t>(c.count) + 1) << c.text;
    EXPECT_EQ(out[1], c.first) << c.text;
    EXPECT_EQ(out.back(), c.last) << c.text;
  }
}

TEST(GatewaySearch, FindsExactlyTheAnsweringGatewaysInAboutOneTimeOut) {
  const uint16_t port = FreePort(Loop(2));
  const std::string p = std::to_string(port);
  SimProcess two, three, nine, silent;
  ASSERT_TRUE(two.Start({"--udp", "127.0.0.2:" + p, "--identity", "QV31-2"}));
  ASSERT_TRUE(three.Start({"--udp", "127.0.0.3:" + p, "--identity", "网关三号"}));
  // 18 bytes with no zero behind them.
  ASSERT_TRUE(nine.Start({"--udp", "127.0.0.9:" + p, "--identity", "QV31 gateway nine!"}));
  ASSERT_TRUE(silent.Start({"--udp", "127.0.0.5:" + p, "--silent"}));
  // Garbage, other frames and broken identity replies are not gateways.
  FakePeer noisy(Loop(7), port, [](int) {
    Bytes badCrc = IdentityReply("bad crc");
    badCrc.back() ^= 0xFF;
    Bytes trailing = IdentityReply("trailing");
    trailing.push_back(0x55);
    return std::vector<Bytes>{{1, 2, 3},
                              EncodeFrame({AREA_PARAMS, OP_READ_REPLY, 0, 18}, Bytes(18, 'x')),
                              EncodeFrame({AREA_IDENT, OP_READ_REPLY, 0, 17}, Bytes(17, 'x')),
                              badCrc,
                              trailing,
                              IdentityRequest()};
  });

  std::vector<uint32_t> targets;
  ASSERT_EQ(ExpandAddressRange("127.0.0.0/28", targets), 14);
  GatewaySearch search;
  const auto start = simtest::Clock::now();
  ASSERT_TRUE(RunGatewaySearch(search, targets, port));
  const auto tookMs =
      std::chrono::duration_cast<std::chrono::milliseconds>(simtest::Clock::now() - start).count();

  const std::vector<FoundGateway> expected = {{Loop(2), port, "QV31-2"},
                                              {Loop(3), port, "网关三号"},
                                              {Loop(9), port, "QV31 gateway nine!"}};
  EXPECT_EQ(search.Found(), expected);
  // One round to 14, a second to the 11 that did not answer.
  EXPECT_EQ(search.DatagramsSent(), 25);
  EXPECT_GE(tookMs, UDP_REPLY_TIMEOUT_MS);
  EXPECT_LT(tookMs, 2 * UDP_REPLY_TIMEOUT_MS);
}

TEST(GatewaySearch, RepeatCoversALossAndEachGatewayIsListedOnce) {
  const uint16_t port = FreePort(Loop(4));
  // Loses the first request, answers the repeat twice.
  FakePeer lossy(Loop(4), port, [](int n) {
    return n == 1 ? std::vector<Bytes>{}
                  : std::vector<Bytes>{IdentityReply("L"), IdentityReply("L")};
  });
  // Answers from another address, as a gateway reached through a broadcast may.
  FakePeer elsewhere(
      Loop(6), port, [](int) { return std::vector<Bytes>{IdentityReply("E")}; }, Loop(8));

  GatewaySearch search;
  ASSERT_TRUE(RunGatewaySearch(search, {Loop(6), Loop(4), Loop(4)}, port, {200, 50}));
  ASSERT_EQ(search.Found().size(), 2u);
  EXPECT_EQ(search.Found()[0].address, Loop(4));
  EXPECT_EQ(search.Found()[0].identity, "L");
  EXPECT_EQ(search.Found()[1].address, Loop(8));
  EXPECT_EQ(search.Found()[1].identity, "E");
  EXPECT_NE(search.Found()[1].port, port);
}

TEST(GatewaySearch, StopsWhenAskedAndKeepsWhatItFound) {
  const uint16_t port = FreePort(Loop(2));
  FakePeer gateway(Loop(2), port, [](int) { return std::vector<Bytes>{IdentityReply("G")}; });
  GatewaySearch search;
  const auto start = simtest::Clock::now();
  int asked = 0;
  ASSERT_TRUE(RunGatewaySearch(search, {Loop(2)}, port, {5000, 100}, [&] { return ++asked < 6; }));
  EXPECT_LT(simtest::Clock::now() - start, std::chrono::seconds(2));
  EXPECT_FALSE(search.Running());
  ASSERT_EQ(search.Found().size(), 1u);
  EXPECT_EQ(search.Found()[0].identity, "G");
}

}  // namespace
}  // namespace qv31
