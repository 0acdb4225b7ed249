#include "transport/serial_port.h"

#include <gtest/gtest.h>
#include <time.h>

#include <vector>

#include "link/link_frame.h"
#include "transport/link_transport.h"
#include "transport/pty_pair.h"

namespace qv31 {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Pattern(size_t n, uint8_t first = 0) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>((first + i) % 251);
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

double CpuMs() {
  timespec t{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

class SerialPortTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(pty.Ok()); }
  bool OpenWithGap(uint32_t gapMs, uint32_t baud = 9600) {
    port.SetAutoGap(false);
    port.SetGapMs(gapMs);
    return port.Open(pty.slavePath, baud, "n,8,1");
  }
  PtyPair pty;
  SerialPort port;
};

TEST_F(SerialPortTest, QuietGapSeparatesBlocks) {
  ASSERT_TRUE(OpenWithGap(200));
  const Bytes a = Pattern(10, 0), b = Pattern(7, 10), c = Pattern(5, 17);
  ASSERT_TRUE(pty.Send(a));
  ::usleep(40'000);  // well inside the gap: same block
  ASSERT_TRUE(pty.Send(b));
  const Bytes first = TakeBlock(port, 3000);
  ASSERT_TRUE(pty.Send(c));  // after a pause of at least the gap: a new block
  EXPECT_EQ(first, Pattern(17, 0));
  EXPECT_EQ(TakeBlock(port, 3000), c);
  EXPECT_EQ(port.RxQueue().Count(), 0);
}

TEST_F(SerialPortTest, LongRunIsCutAtBlockSize) {
  ASSERT_TRUE(OpenWithGap(300));
  const Bytes run = Pattern(5000);
  const double cpuBefore = CpuMs();
  const int64_t wallBefore = SteadyMs();
  ASSERT_TRUE(pty.Send(run));
  const Bytes first = TakeBlock(port, 3000);
  // A full block waits out its pause with bytes pending on the line: without spinning.
  EXPECT_LT((CpuMs() - cpuBefore) / static_cast<double>(SteadyMs() - wallBefore), 0.25);
  const Bytes second = TakeBlock(port, 3000);
  ASSERT_EQ(first.size(), 4096u);
  EXPECT_TRUE(std::equal(first.begin(), first.end(), run.begin()));
  EXPECT_TRUE(std::equal(second.begin(), second.end(), run.begin() + 4096));
  EXPECT_EQ(second.size(), 904u);
}

TEST_F(SerialPortTest, TransmitWritesOneBlockPerPause) {
  ASSERT_TRUE(OpenWithGap(50));  // one block every 150 ms
  for (uint8_t i = 0; i < 3; ++i) {
    const Bytes block = Pattern(6, static_cast<uint8_t>(10 * i));
    ASSERT_EQ(port.TxQueue().Push(6, block.data()), 6);
  }
  std::vector<int64_t> arrivals;
  for (uint8_t i = 0; i < 3; ++i) {
    EXPECT_EQ(pty.Receive(6, 3000), Pattern(6, static_cast<uint8_t>(10 * i)));
    arrivals.push_back(SteadyMs());
  }
  for (size_t i = 1; i < arrivals.size(); ++i) {
    EXPECT_GE(arrivals[i] - arrivals[i - 1], 150 - 15);
    EXPECT_LE(arrivals[i] - arrivals[i - 1], 150 + 250);
  }
}

TEST_F(SerialPortTest, ReopenStartsWithEmptyQueues) {
  ASSERT_TRUE(OpenWithGap(100));
  const Bytes block = Pattern(4);
  for (int i = 0; i < 4; ++i) port.TxQueue().Push(4, block.data());
  ASSERT_EQ(pty.Receive(4, 3000), block);  // the first went out; the rest wait their turn
  ASSERT_TRUE(pty.Send(Pattern(3)));
  ASSERT_TRUE(WaitFor([&] { return port.RxQueue().Count() == 1; }, 3000));
  ASSERT_TRUE(port.Open(pty.slavePath, 9600, "n,8,1"));
  EXPECT_EQ(port.TxQueue().Count(), 0);
  EXPECT_EQ(port.RxQueue().Count(), 0);
  EXPECT_TRUE(pty.Receive(1, 600).empty());  // blocks queued before the reopen are gone
}

TEST_F(SerialPortTest, OtherSideClosedMidTransferNeitherCrashesNorSpins) {
  LinkTransport link;
  ASSERT_TRUE(link.OpenSerial(pty.slavePath, "115200", "n,8,1", "0"));
  link.Serial().SetPauseAfterWrite(false);
  const Bytes block = Pattern(64);
  for (int i = 0; i < 50; ++i) link.SendBlock(64, block.data());
  ASSERT_TRUE(pty.Send(Pattern(100)));
  pty.CloseMaster();
  ASSERT_TRUE(WaitFor([&] { return link.PortLost(); }, 3000));
  EXPECT_FALSE(link.OpenErrorText().empty());
  for (int i = 0; i < 50; ++i) link.SendBlock(64, block.data());
  const double cpuBefore = CpuMs();
  const int64_t wallBefore = SteadyMs();
  ::usleep(500'000);  // the span over which the workers' CPU time is measured
  const double share = (CpuMs() - cpuBefore) / static_cast<double>(SteadyMs() - wallBefore);
  EXPECT_LT(share, 0.10);
  EXPECT_EQ(link.Serial().TxQueue().Count(), 0);  // dropped, not stuck
  const int64_t closeStart = SteadyMs();
  link.Close();
  EXPECT_LT(SteadyMs() - closeStart, 500);
}

TEST_F(SerialPortTest, LinkTransportAppliesTheDelaySetting) {
  const struct {
    const char* baud;
    const char* delay;
    uint32_t gapMs;
    bool autoGap;
  } cases[] = {
      {"115200", "100", 100, false}, {"115200", "0", 1, true},   {"2400", "0", 50, true},
      {"9600", "-5", 5, true},       {"14400", "30", 30, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.baud) + " " + c.delay);
    LinkTransport link;
    ASSERT_TRUE(link.OpenSerial(pty.slavePath, c.baud, "n,8,1", c.delay));
    EXPECT_EQ(link.Serial().GapMs(), c.gapMs);
    EXPECT_EQ(link.Serial().AutoGap(), c.autoGap);
    EXPECT_EQ(link.ReplyTimeoutMs(), ReplyTimeoutMsForBaud(c.baud));
  }
}

TEST_F(SerialPortTest, LinkTransportMovesBlocks) {
  LinkTransport link;
  ASSERT_TRUE(link.OpenSerial(pty.slavePath, "19200", "n,8,1", "0"));
  const Bytes frame = {0x4F, 0x3F, 0x2F, 0x1F, 0x5F, 0x6F, 0xFF, 0xFE, 2,
                       1,    0,    0,    1,    0,    0,    0x74, 0x46};
  ASSERT_TRUE(link.SendBlock(17, frame.data()));
  EXPECT_EQ(pty.Receive(17, 3000), frame);
  ASSERT_TRUE(pty.Send(Pattern(1500)));  // longer than the engine's buffer: cut to 1024
  uint8_t buffer[LINK_BUFFER_SIZE];
  int32_t length = 0;
  ASSERT_TRUE(WaitFor([&] { return link.ReceiveBlock(buffer, length); }, 3000));
  EXPECT_EQ(length, LINK_BUFFER_SIZE);
  EXPECT_EQ(Bytes(buffer, buffer + length), Pattern(LINK_BUFFER_SIZE));
  EXPECT_FALSE(link.PortLost());

  // A failed open leaves everything closed and empty; closing again is harmless.
  ASSERT_TRUE(link.SendBlock(17, frame.data()));
  EXPECT_FALSE(link.OpenSerial("/dev/qv31-no-such-tty", "9600", "n,8,1", "100"));
  EXPECT_EQ(link.Serial().Error(), PortError::Missing);
  EXPECT_EQ(link.Serial().TxQueue().Count(), 0);
  EXPECT_FALSE(link.SendBlock(17, frame.data()));
  EXPECT_FALSE(link.ReceiveBlock(buffer, length));
  EXPECT_EQ(length, 0);
  link.Close();
  link.Close();
}

}  // namespace
}  // namespace qv31
