#include "transport/serial_scan.h"

#include <asm/termbits.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <atomic>
#include <thread>

#include "link/link_frame.h"
#include "text/gbk.h"
#include "transport/identity_probe.h"
#include "transport/pty_pair.h"

namespace qv31 {
namespace {

Bytes IdentityReply(std::string_view utf8) {
  Bytes payload(18, 0);
  const std::string text = Utf8ToGbk(utf8);
  std::copy(text.begin(), text.end(), payload.begin());
  return EncodeFrame({AREA_IDENT, OP_READ_REPLY, 0, 18}, payload);
}

// A gateway at the master side of a pseudo-terminal that answers only at one baud and stop-bit
// setting (a pseudo-terminal keeps those, not the parity) and sends noise at any other.
class LineGateway {
 public:
  LineGateway(PtyPair& pty, uint32_t baud, int stopBits)
      : pty_(pty), baud_(baud), stopBits_(stopBits), thread_([this] { Serve(); }) {}
  ~LineGateway() {
    stop_ = true;
    thread_.join();
  }

 private:
  bool AtItsSetting() const {
    LineTermios t;  // termios2, field for field; on the master it is the slave's
    if (::ioctl(pty_.master, TCGETS2, &t) != 0) return false;
    const LineSettings s = DescribeLineTermios(t);
    return s.baud == baud_ && s.format.stopBits == stopBits_;
  }
  void Serve() {
    Bytes request;
    while (!stop_) {
      const Bytes got = pty_.Receive(64, 20);
      request.insert(request.end(), got.begin(), got.end());
      if (request.size() < 16) continue;
      request.clear();
      if (AtItsSetting()) {
        pty_.Send(IdentityReply("串口网关"));
        continue;
      }
      // What a reply looks like at a wrong baud: stray bytes, a preamble, a CRC that fails.
      Bytes noise = {0xFE, 0x00, 0x4F, 0x3F, 0x2F, 0x1F, 0x5F, 0x6F, 0xFF, 0xFE, 0x03};
      Bytes broken = IdentityReply("串口网关");
      broken[20] ^= 0x10;
      noise.insert(noise.end(), broken.begin(), broken.end());
      pty_.Send(noise);
    }
  }
  PtyPair& pty_;
  uint32_t baud_;
  int stopBits_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

TEST(SerialScan, TriesTheCommonSettingsFirstEachOnce) {
  const auto order = SerialScanOrder();
  ASSERT_EQ(order.size(), 54u);
  const struct {
    size_t at;
    LineTry expected;
  } cases[] = {{0, {9600, "n,8,1"}},  {1, {115200, "n,8,1"}}, {2, {19200, "n,8,1"}},
               {7, {1200, "n,8,1"}},  {8, {14400, "n,8,1"}},  {9, {9600, "o,8,1"}},
               {27, {9600, "n,8,2"}}, {53, {14400, "e,8,2"}}};
  for (const auto& c : cases) EXPECT_EQ(order[c.at], c.expected) << c.at;
  for (size_t i = 0; i < order.size(); ++i) {
    for (size_t j = i + 1; j < order.size(); ++j) EXPECT_NE(order[i], order[j]) << i << " " << j;
  }
}

TEST(SerialScan, ProbeTimeOutIsTheLineTimeOfReadAndReplyPlusTheMargin) {
  const struct {
    LineTry settings;
    int32_t expected;
  } cases[] = {
      {{9600, "n,8,1"}, 53 + PROBE_MARGIN_MS},   // 50 bytes x 10 bits
      {{115200, "n,8,1"}, 5 + PROBE_MARGIN_MS},  // rounded up
      {{1200, "e,8,1"}, 459 + PROBE_MARGIN_MS},  // 11 bits
      {{1200, "o,8,2"}, 500 + PROBE_MARGIN_MS},  // 12 bits
      {{14400, "n,8,2"}, 39 + PROBE_MARGIN_MS},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ProbeTimeoutMs(c.settings), c.expected) << c.settings.baud << c.settings.format;
  }
}

TEST(SerialScan, FindsTheOneBaudAndStopBitsAGatewayAnswersAtThroughNoise) {
  PtyPair pty;
  ASSERT_TRUE(pty.Ok());
  LineGateway gateway(pty, 19200, 2);
  SerialScan scan;
  std::vector<LineTry> reported;
  const ScanState state = RunSerialScan(
      scan, pty.slavePath,
      [&](const SerialScan& s) {
        if (static_cast<size_t>(s.TryNumber()) > reported.size()) reported.push_back(s.Current());
        return true;
      },
      30);
  ASSERT_EQ(state, ScanState::Found);
  EXPECT_EQ(scan.Current(), (LineTry{19200, "n,8,2"}));
  EXPECT_EQ(scan.TryNumber(), 30);
  EXPECT_EQ(scan.Identity(), "串口网关");
  const auto order = SerialScanOrder();
  EXPECT_EQ(reported, std::vector<LineTry>(order.begin(), order.begin() + 30));
}

TEST(SerialScan, CancelAndAMissingDeviceEndIt) {
  PtyPair pty;
  ASSERT_TRUE(pty.Ok());
  SerialScan scan;
  EXPECT_EQ(
      RunSerialScan(scan, pty.slavePath, [](const SerialScan& s) { return s.TryNumber() < 3; }),
      ScanState::Cancelled);
  EXPECT_EQ(scan.TryNumber(), 3);
  EXPECT_EQ(scan.Fd(), -1);  // the line is given back

  EXPECT_EQ(RunSerialScan(scan, "/dev/qv31-no-such-port"), ScanState::OpenFailed);
  EXPECT_EQ(scan.Error(), PortError::Missing);
}

}  // namespace
}  // namespace qv31
