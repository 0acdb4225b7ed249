// The dialog against the real simulator program over UDP, on real time: the traffic record of
// an open, as qv31ctl --trace tells it and as faults shape it.

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>

#include "app/dialog_harness.h"
#include "session/timer_loop.h"
#include "session/trace_text.h"
#include "sim/sim_process.h"

namespace qv31 {
namespace {

class DialogSimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim_.Start({"--udp", "127.0.0.1:0"}));
    DialogEnvironment env;
    env.view = &view_;
    env.timers = &timers_;
    env.clock = [this] { return timers_.NowMs(); };
    env.settingsDir = dir_.Dir().string();
    env.discoverPorts = [] { return std::vector<std::string>{}; };
    dlg_ = std::make_unique<CQV31Dlg>(std::move(env));
    dlg_->OnInitDialog();
  }
  void OpenUdp(uint16_t port) {
    view_.SetChecked(IDC_MODE, false);
    dlg_->OnModeCheck();
    view_.SetText(IDC_LINK_ADDRESS, "127.0.0.1");
    view_.SetText(IDC_LINK_TARGET_PORT, std::to_string(port));
    dlg_->OnCommand(IDC_OPEN_CLOSE);
  }
  bool RunUntilStatus(std::string_view text, uint32_t limitMs = 10000) {
    const uint32_t end = timers_.NowMs() + limitMs;
    timers_.RunUntil([&] { return view_.Text(IDC_STATUS) == text || timers_.NowMs() > end; });
    return view_.Text(IDC_STATUS) == text;
  }

  TempDir dir_{"qv31-dlg-sim"};
  simtest::SimProcess sim_;
  FakeView view_;
  // The command line's timers: real time, fired on the test's thread.
  TimerLoop timers_{[this](int id) { dlg_->OnTimer(id); }};
  std::unique_ptr<CQV31Dlg> dlg_;
};

TEST_F(DialogSimTest, OverUdpTheRecordAndQv31ctlTellTheSameExchange) {
  OpenUdp(sim_.UdpPort());
  ASSERT_TRUE(RunUntilStatus("执行完成"));
  EXPECT_EQ(view_.Text(IDC_VERSION), "QV31-SIM 1.0");

  // The monitor's record and qv31ctl --trace tell the same facts of the same exchange: the
  // connect phase's identity read and its reply, line for line but for the time.
  const auto untimed = [](const std::string& line) { return line.substr(line.find(" ms ")); };
  const std::string command = std::string(QV31CTL_PATH) +
                              " --udp 127.0.0.1:" + std::to_string(sim_.UdpPort()) +
                              " --trace get identity 2>&1";
  std::unique_ptr<FILE, int (*)(FILE*)> ctl(popen(command.c_str(), "r"), &pclose);
  ASSERT_TRUE(ctl);
  char line[4096];
  const TrafficLog& log = dlg_->Traffic();
  for (uint64_t i = log.FirstIndex(); i < log.FirstIndex() + 2; ++i) {
    ASSERT_NE(fgets(line, sizeof line, ctl.get()), nullptr);
    std::string traced(line);
    traced.erase(traced.find_last_not_of('\n') + 1);
    EXPECT_EQ(untimed(traced), untimed(log.Line(i)));
  }
}

// Every reply 600 ms late (after the repeat at 510 ms, so the repeat's own reply comes in late
// while the next request is in flight) and every fifth reply corrupted: the record shows
// each block with what became of it, and the open still completes.
TEST_F(DialogSimTest, TheTrafficRecordOfASessionWithRepeatsLateAndCorruptReplies) {
  simtest::SimProcess faulty;
  ASSERT_TRUE(faulty.Start({"--udp", "127.0.0.1:0", "--delay", "600", "--corrupt", "5"}));
  OpenUdp(faulty.UdpPort());
  ASSERT_TRUE(RunUntilStatus("执行完成", 30000));

  const TrafficLog& log = dlg_->Traffic();
  std::map<BlockFate, int> fates;
  uint32_t last = 0;
  for (uint64_t i = log.FirstIndex(); i < log.EndIndex(); ++i) {
    const TrafficRow& r = log.Row(i);
    ++fates[r.fate];
    EXPECT_GE(r.ms, last) << "rows in the order they happened";
    last = r.ms;
    EXPECT_EQ(log.Line(i), TraceLine({r.ms, r.sent, r.bytes, r.fate}, 0));
  }
  EXPECT_EQ(fates[BlockFate::Sent], 11) << "eleven frames from the queue";
  EXPECT_EQ(fates[BlockFate::Completed], 11);
  EXPECT_GE(fates[BlockFate::Repeated], 11);
  EXPECT_GE(fates[BlockFate::Late], 5) << "late answers to repeats are recorded, not stored";
  EXPECT_GE(fates[BlockFate::BadCrc], 2);
  EXPECT_EQ(log.Row(log.FirstIndex()).fate, BlockFate::Sent);
  EXPECT_LT(log.Row(log.FirstIndex()).ms, 100u) << "times count from the open";
}

}  // namespace
}  // namespace qv31
