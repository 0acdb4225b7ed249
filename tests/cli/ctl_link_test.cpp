// qv31ctl end to end, the link: repeats, time-outs, faults and what --trace tells of them,
// and the stop sequence.
#include "cli/ctl_test_support.h"

namespace qv31 {
namespace {

// The test answers the stop frame twice on the pseudo-terminal: once as a gateway would, once
// with a wrong CRC. Both are drained, and the trace says what became of each.
TEST_F(CtlTest, StopWritesExactlyOneStopFrameAndTracesWhatItDrains) {
  PtyPair pty;
  ASSERT_TRUE(pty.Ok());
  const int64_t start = SteadyMs();
  const pid_t pid = Spawn({"--serial", pty.slavePath, "--trace", "stop"});
  ASSERT_GT(pid, 0);
  const Bytes stop = {0x4F, 0x3F, 0x2F, 0x1F, 0x5F, 0x6F, 0xFF, 0xFE, 0x02,
                      0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0x74, 0x46};
  const Bytes got = pty.Receive(stop.size(), 2000);
  GatewayMemory memory = FactoryMemory();
  Bytes ack = memory.Answer(got).reply;
  ASSERT_FALSE(ack.empty());
  ASSERT_TRUE(pty.Send(ack));
  ::usleep(300 * 1000);
  ack.back() ^= 0xFF;
  ASSERT_TRUE(pty.Send(ack));
  const CtlRun run = Wait(pid, start);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_GE(run.ms, 1000);
  EXPECT_EQ(got, stop);
  EXPECT_TRUE(pty.Receive(1, 100).empty()) << "one stop frame only";

  const auto trace = TraceRecords(run.err);
  ASSERT_EQ(trace.size(), 3u) << run.err;
  EXPECT_TRUE(trace[0].sent);
  EXPECT_EQ(trace[0].bytes, stop);
  EXPECT_EQ(trace[0].header, "区2 写 地址0 长度1");
  EXPECT_EQ(trace[0].fate, "发送");
  EXPECT_NEAR(trace[0].ms, 100, 30) << "the first 100 ms tick after the port opened";
  EXPECT_EQ(trace[1].header, "区2 写应答 地址0 长度1");
  EXPECT_EQ(trace[1].fate, "停止采集应答");
  EXPECT_EQ(trace[2].fate, "校验错误");
  for (const TraceRecord& r : trace) EXPECT_EQ(r.bytes.size(), r.length);

  EXPECT_EQ(Ctl({"--udp", "127.0.0.1", "stop"}).status, 2);

  // No acknowledgement: the acquisition may still run, and the exit status says so.
  const int64_t again = SteadyMs();
  const pid_t silent = Spawn({"--serial", pty.slavePath, "stop"});
  ASSERT_EQ(pty.Receive(stop.size(), 2000), stop);
  const CtlRun unanswered = Wait(silent, again);
  EXPECT_EQ(unanswered.status, 1);
  EXPECT_NE(unanswered.err.find("did not acknowledge"), std::string::npos) << unanswered.err;
}

TEST_F(CtlTest, SilentGatewayGivesUpAfterTwoRepeats) {
  SimProcess sim;
  const std::string udp = StartSim(sim, "s.json", {"--silent"});
  const CtlRun run = Ctl({"--udp", udp, "--trace", "info"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("通信超时"), std::string::npos);
  const auto t = SendTimesMs(run.err);
  ASSERT_EQ(t.size(), 3u) << run.err;
  EXPECT_NEAR(t[1] - t[0], 510, 30);
  EXPECT_NEAR(t[2] - t[0], 1020, 40);
  // The second repeat gets its own full time-out before "通信超时" (about 1530 ms).
  EXPECT_GE(run.ms, 1520);
  EXPECT_LT(run.ms, 2100);
}

// A corrupted reply is told as such, and its request is sent again after the time-out.
TEST_F(CtlTest, TraceShowsABadCrcAndTheRepeat) {
  SimProcess sim;
  const std::string udp = StartSim(sim, "s.json", {"--corrupt", "2"});
  const CtlRun run = Ctl({"--udp", udp, "--trace", "get", "4g.station"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "4g.station = 1\n");
  struct Want {
    bool sent;
    const char* header;
    const char* fate;
  };
  const Want want[] = {
      {true, "区3 读 地址0 长度18", "发送"},  {false, "区3 读应答 地址0 长度18", "完成请求"},
      {true, "区1 读 地址6 长度320", "发送"}, {false, "区1 读应答 地址6 长度320", "校验错误"},
      {true, "区1 读 地址6 长度320", "重发"}, {false, "区1 读应答 地址6 长度320", "完成请求"},
  };
  const auto trace = TraceRecords(run.err);
  ASSERT_EQ(trace.size(), std::size(want)) << run.err;
  for (size_t i = 0; i < trace.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(trace[i].sent, want[i].sent);
    EXPECT_EQ(trace[i].header, want[i].header);
    EXPECT_EQ(trace[i].fate, want[i].fate);
    EXPECT_EQ(trace[i].bytes.size(), trace[i].length);
  }
  EXPECT_EQ(trace[4].bytes, trace[2].bytes) << "the same frame again";
  EXPECT_NEAR(trace[4].ms - trace[2].ms, 510, 30);
  EXPECT_NE(trace[3].bytes, trace[5].bytes) << "the corrupted reply is shown as it came";
  EXPECT_LT(trace[0].ms, 50) << "time counts from the link's opening";
}

TEST_F(CtlTest, DroppedRepliesAreRepeated) {
  SimProcess sim;
  const std::string udp = StartSim(sim, "s.json", {"--drop", "2"});
  const CtlRun run = Ctl({"--udp", udp, "get", "4g.station", "acq.enable"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "4g.station = 1\nacq.enable = on\n");
}

TEST_F(CtlTest, TheThirdTryOverASlowSerialLineIsAnswered) {
  SimProcess sim;
  ASSERT_TRUE(sim.Start({"--pty", "--pace", "115200", "--drop", "3", "--corrupt", "2"}));
  const CtlRun run =
      Ctl({"--serial", sim.Listener("pty "), "--baud", "115200", "--delay", "0", "info"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("identity = QV31-SIM 1.0\n"), std::string::npos);
}

}  // namespace
}  // namespace qv31
