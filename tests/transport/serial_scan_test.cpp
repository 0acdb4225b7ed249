#include "transport/serial_scan.h"

#include <gtest/gtest.h>

#include "transport/line_gateway.h"

namespace qv31 {
namespace {

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
  EXPECT_FALSE(scan.LineOpen());  // the line is given back

  EXPECT_EQ(RunSerialScan(scan, "/dev/qv31-no-such-port"), ScanState::OpenFailed);
  EXPECT_EQ(scan.Error(), PortError::Missing);
}

}  // namespace
}  // namespace qv31
