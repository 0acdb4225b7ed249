#include "transport/serial_port.h"

#include <gtest/gtest.h>

#include <ctime>
#include <tuple>

#include "link/link_frame.h"
#include "transport/link_transport.h"
#include "transport/pty_pair.h"

namespace qv31 {
namespace {

// Every byte value, with a period of 257 so that no shift by a block size looks right.
Bytes Pattern(size_t n, int first = 0) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>((first + i) % 257);
  return b;
}

Bytes TakeBlock(SerialPort& port, int timeoutMs) {
  Bytes b(SerialPort::BLOCK_SIZE);
  int32_t length = 0;
  WaitFor([&] { return port.ReadBlock(b.data(), static_cast<int32_t>(b.size()), length); },
          timeoutMs);
  b.resize(static_cast<size_t>(std::max(length, 0)));
  return b;
}

// The share of one core this process used while `work` ran.
template <typename Work>
double CpuShare(Work work) {
  const std::clock_t cpu = std::clock();
  const int64_t wall = SteadyMs();
  work();
  const double cpuMs = static_cast<double>(std::clock() - cpu) * 1000.0 / CLOCKS_PER_SEC;
  return cpuMs / static_cast<double>(std::max<int64_t>(SteadyMs() - wall, 1));
}

class SerialPortTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(pty.Ok()); }
  bool OpenWithGap(uint32_t gapMs) {
    port.SetAutoGap(false);
    port.SetGapMs(gapMs);
    return port.Open(pty.slavePath, 9600, LineFormat{});
  }
  PtyPair pty;
  SerialPort port;
};

TEST_F(SerialPortTest, BlocksEndAtTheQuietGapOrAtBlockSize) {
  ASSERT_TRUE(OpenWithGap(200));
  ASSERT_TRUE(pty.Send(Pattern(10)));
  ::usleep(40'000);  // well inside the gap: same block
  ASSERT_TRUE(pty.Send(Pattern(7, 10)));
  EXPECT_EQ(TakeBlock(port, 3000), Pattern(17));
  ASSERT_TRUE(pty.Send(Pattern(5, 17)));  // after a pause of at least the gap: a new block
  EXPECT_EQ(TakeBlock(port, 3000), Pattern(5, 17));
  EXPECT_EQ(port.RxQueue().Count(), 0);

  const Bytes run = Pattern(5000);
  Bytes first;
  // The full block waits out its pause with bytes pending on the line: that must not spin.
  EXPECT_LT(CpuShare([&] { first = pty.Send(run) ? TakeBlock(port, 3000) : Bytes(); }), 0.25);
  EXPECT_EQ(first, Bytes(run.begin(), run.begin() + 4096));
  EXPECT_EQ(TakeBlock(port, 3000), Bytes(run.begin() + 4096, run.end()));
}

TEST_F(SerialPortTest, TransmitWritesOneBlockPerPause) {
  ASSERT_TRUE(OpenWithGap(50));  // one block every 50 + 100 ms
  for (int i = 0; i < 3; ++i) ASSERT_EQ(port.TxQueue().Push(6, Pattern(6, 10 * i).data()), 6);
  int64_t previous = 0;
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(pty.Receive(6, 3000), Pattern(6, 10 * i));
    const int64_t now = SteadyMs(), spacing = now - previous;
    previous = now;
    EXPECT_TRUE(i == 0 || (spacing >= 150 - 15 && spacing <= 150 + 250)) << spacing;
  }
}

TEST_F(SerialPortTest, ReopenStartsWithEmptyQueues) {
  ASSERT_TRUE(OpenWithGap(100));
  for (int i = 0; i < 4; ++i) port.TxQueue().Push(4, Pattern(4).data());
  ASSERT_EQ(pty.Receive(4, 3000), Pattern(4));  // the first went out; the rest wait their turn
  ASSERT_TRUE(pty.Send(Pattern(3)));
  ASSERT_TRUE(WaitFor([&] { return port.RxQueue().Count() == 1; }, 3000));
  ASSERT_TRUE(port.Open(pty.slavePath, 9600, LineFormat{}));
  EXPECT_EQ(port.TxQueue().Count(), 0);
  EXPECT_EQ(port.RxQueue().Count(), 0);
  EXPECT_TRUE(pty.Receive(1, 600).empty());  // blocks queued before the reopen are gone
}

TEST_F(SerialPortTest, OtherSideClosedMidTransferNeitherCrashesNorSpins) {
  LinkTransport link;
  ASSERT_TRUE(link.OpenSerial(SerialLinkFromTexts(pty.slavePath, "115200", "n,8,1", "0")));
  link.Serial().SetPauseAfterWrite(false);
  for (int i = 0; i < 50; ++i) link.SendBlock(64, Pattern(64).data());
  ASSERT_TRUE(pty.Send(Pattern(100)));
  pty.CloseMaster();
  ASSERT_TRUE(WaitFor([&] { return link.PortLost(); }, 3000));
  EXPECT_EQ(link.OpenError().port, PortError::Lost);
  for (int i = 0; i < 50; ++i) link.SendBlock(64, Pattern(64).data());
  EXPECT_LT(CpuShare([] { ::usleep(500'000); }), 0.10);  // the workers on the dead line
  EXPECT_EQ(link.Serial().TxQueue().Count(), 0);         // dropped, not stuck
  const int64_t closeStart = SteadyMs();
  link.Close();
  EXPECT_LT(SteadyMs() - closeStart, 500);
}

TEST_F(SerialPortTest, LinkTransportAppliesTheDelaySetting) {
  const std::tuple<const char*, const char*, uint32_t, bool, int32_t> cases[] = {
      {"115200", "100", 100, false, 500},
      {"115200", "0", 1, true, 500},
      {"9600", "-5", 5, true, 2000},  // a negative delay is ignored like 0
  };
  for (const auto& [baud, delay, gapMs, autoGap, replyTimeoutMs] : cases) {
    SCOPED_TRACE(std::string(baud) + " " + delay);
    LinkTransport link;
    ASSERT_TRUE(link.OpenSerial(SerialLinkFromTexts(pty.slavePath, baud, "n,8,1", delay)));
    EXPECT_EQ(link.Serial().GapMs(), gapMs);
    EXPECT_EQ(link.Serial().AutoGap(), autoGap);
    EXPECT_EQ(link.ReplyTimeoutMs(), replyTimeoutMs);
  }
}

TEST_F(SerialPortTest, LinkTransportMovesBlocksUntranslatedAt14400) {
  LinkTransport link;
  ASSERT_TRUE(link.OpenSerial(SerialLinkFromTexts(pty.slavePath, "14400", "E,8,2", "100")));
  LineSettings s;  // 14400 has no B constant: set as a number
  ASSERT_TRUE(link.Serial().Line().ReadSettings(s));
  EXPECT_TRUE(s.baud == 14400 && s.customRate && s.raw && s.format.stopBits == 2);
  // CR, LF, ^C, XON and 0xFF pass untouched both ways only in raw mode.
  ASSERT_TRUE(link.SendBlock(17, Pattern(17).data()));
  EXPECT_EQ(pty.Receive(17, 3000), Pattern(17));
  ASSERT_TRUE(pty.Send(Pattern(1500)));  // longer than the engine's buffer: cut to 1024
  uint8_t buffer[LINK_BUFFER_SIZE];
  int32_t length = 0;
  ASSERT_TRUE(WaitFor([&] { return link.ReceiveBlock(buffer, length); }, 3000));
  EXPECT_EQ(Bytes(buffer, buffer + length), Pattern(LINK_BUFFER_SIZE));
  EXPECT_FALSE(link.PortLost());

  // A failed open leaves everything closed and empty; closing again is harmless.
  ASSERT_TRUE(link.SendBlock(17, Pattern(17).data()));
  EXPECT_FALSE(
      link.OpenSerial(SerialLinkFromTexts("/dev/qv31-no-such-tty", "9600", "n,8,1", "100")));
  EXPECT_EQ(link.Serial().Error(), PortError::Missing);
  EXPECT_EQ(link.Serial().TxQueue().Count(), 0);
  EXPECT_FALSE(link.SendBlock(17, Pattern(17).data()));
  EXPECT_FALSE(link.ReceiveBlock(buffer, length));
  EXPECT_EQ(length, 0);
  link.Close();
  link.Close();
}

}  // namespace
}  // namespace qv31
