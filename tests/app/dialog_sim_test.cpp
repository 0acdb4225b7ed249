// The dialog against the real simulator program, over UDP and over its pseudo-terminal, on
// real time: what the operator sees and what reaches the gateway's memory.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <thread>

#include "app/dialog_harness.h"
#include "session/trace_text.h"
#include "sim/sim_process.h"
#include "sim/state_file.h"

namespace qv31 {
namespace {

// Window timers on the steady clock, fired by Run() on the test's thread.
class RealTimers final : public TimerService {
 public:
  void StartTimer(int id, uint32_t periodMs) override {
    timers_[id] = {periodMs, Now() + periodMs};
  }
  void KillTimer(int id) override { timers_.erase(id); }
  uint32_t Now() const {
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now() - epoch_)
                                     .count());
  }
  // Fires due timers until `done` holds or `limitMs` passed.
  bool Run(const std::function<bool()>& done, uint32_t limitMs) {
    const uint32_t end = Now() + limitMs;
    while (!done()) {
      if (Now() > end) return false;
      for (auto it = timers_.begin(); it != timers_.end();) {
        const int id = it->first;
        if (Now() >= it->second.due) {
          it->second.due += it->second.period;
          onTimer(id);
          it = timers_.upper_bound(id);  // the handler may have started or killed timers
        } else {
          ++it;
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
  }
  std::function<void(int)> onTimer;

 private:
  struct Timer {
    uint32_t period;
    uint32_t due;
  };
  std::map<int, Timer> timers_;
  std::chrono::steady_clock::time_point epoch_ = std::chrono::steady_clock::now();
};

class DialogSimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim_.Start({"--udp", "127.0.0.1:0", "--pty", "--state", state_}));
    ptyPath_ = sim_.Listener("pty ");
    timers_.onTimer = [this](int id) { dlg_->OnTimer(id); };
    DialogEnvironment env;
    env.view = &view_;
    env.timers = &timers_;
    env.clock = [this] { return timers_.Now(); };
    env.settingsDir = dir_.Dir().string();
    env.discoverPorts = [this] { return std::vector<std::string>{ptyPath_}; };
    dlg_ = std::make_unique<CQV31Dlg>(std::move(env));
    dlg_->OnInitDialog();
  }
  GatewayMemory State() const {
    GatewayMemory m;
    std::string error;
    EXPECT_EQ(LoadStateFile(state_, m, error), 1) << error;
    return m;
  }
  bool RunUntilStatus(std::string_view text, uint32_t limitMs = 10000) {
    return timers_.Run([&] { return view_.Text(IDC_STATUS) == text; }, limitMs);
  }

  TempDir dir_{"qv31-dlg-sim"};
  std::string state_ = dir_.Path("gateway.json");
  simtest::SimProcess sim_;
  std::string ptyPath_;
  FakeView view_;
  RealTimers timers_;
  std::unique_ptr<CQV31Dlg> dlg_;
};

TEST_F(DialogSimTest, OverUdpEverySetChangesExactlyItsBytes) {
  view_.SetChecked(IDC_MODE, false);
  dlg_->OnModeCheck();
  view_.SetText(IDC_LINK_ADDRESS, "127.0.0.1");
  view_.SetText(IDC_LINK_TARGET_PORT, std::to_string(sim_.UdpPort()));
  dlg_->OnCommand(IDC_OPEN_CLOSE);
  ASSERT_TRUE(RunUntilStatus("执行完成"));
  EXPECT_EQ(view_.Text(IDC_VERSION), "QV31-SIM 1.0");
  EXPECT_EQ(view_.Text(IDC_PORT3_BAUD), "19200");
  EXPECT_EQ(view_.Text(IDC_LOCAL_IP), "192.168.1.100");
  EXPECT_EQ(dlg_->Grid().Cell(4, COL_CHANNEL), "COM4");

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

  struct Case {
    std::function<void()> edit;
    int button;
    uint8_t area;
    std::vector<std::pair<int, int>> changed;
  };
  const Case cases[] = {
      {[&] { view_.ComboSelect(IDC_PORT1_BAUD, 8); }, IDC_PORT1_SET, AREA_PARAMS, {{0, 11}}},
      {[&] { view_.SetText(IDC_STATION, "7"); }, IDC_4G_SET, AREA_PARAMS, {{3, 7}}},
      {[&] { view_.SetText(IDC_DNS, "8.8.4.4"); },
       IDC_NET_SET,
       AREA_PARAMS,
       {{171, 8}, {172, 8}, {173, 4}, {174, 4}}},
      {[&] { view_.SetText(IDC_ACQ_INTERVAL, "250"); }, IDC_ACQ_SET, AREA_TABLE, {{3, 250}}},
  };
  for (const Case& c : cases) {
    const GatewayMemory before = State();
    c.edit();
    view_.SetText(IDC_STATUS, "");
    dlg_->OnCommand(c.button);
    ASSERT_TRUE(RunUntilStatus("执行完成")) << c.button;
    EXPECT_EQ(Changed(before, State(), c.area), c.changed) << c.button;
  }
}

TEST_F(DialogSimTest, OverThePseudoTerminalThenStopAcquisition) {
  EXPECT_EQ(view_.Text(IDC_LINK_PORT), ptyPath_);
  view_.ComboSelect(IDC_LINK_BAUD, 8);  // 115200
  dlg_->OnCommand(IDC_OPEN_CLOSE);
  ASSERT_TRUE(RunUntilStatus("执行完成"));
  EXPECT_EQ(view_.Text(IDC_PORT4_BAUD), "115200");
  dlg_->OnCommand(IDC_OPEN_CLOSE);
  ASSERT_TRUE(timers_.Run([&] { return view_.IsEnabled(IDC_STOP_ACQ); }, 3000));

  const GatewayMemory before = State();
  dlg_->OnCommand(IDC_STOP_ACQ);
  ASSERT_FALSE(view_.IsEnabled(IDC_STOP_ACQ));
  ASSERT_TRUE(timers_.Run([&] { return view_.IsEnabled(IDC_STOP_ACQ); }, 3000));
  EXPECT_EQ(Changed(before, State(), AREA_TABLE), (std::vector<std::pair<int, int>>{{0, 0}}));
  EXPECT_EQ(view_.Text(IDC_STATUS), "停止采集：网关已确认");
}

// Every reply 600 ms late (after the repeat at 510 ms, so the repeat's own reply comes in late
// while the next request is in flight) and every fifth reply corrupted: the record shows
// each block with what became of it, and the open still completes.
TEST_F(DialogSimTest, TheTrafficRecordOfASessionWithRepeatsLateAndCorruptReplies) {
  simtest::SimProcess faulty;
  ASSERT_TRUE(faulty.Start({"--udp", "127.0.0.1:0", "--delay", "600", "--corrupt", "5"}));
  view_.SetChecked(IDC_MODE, false);
  dlg_->OnModeCheck();
  view_.SetText(IDC_LINK_ADDRESS, "127.0.0.1");
  view_.SetText(IDC_LINK_TARGET_PORT, std::to_string(faulty.UdpPort()));
  dlg_->OnCommand(IDC_OPEN_CLOSE);
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
