// The dialog against the real simulator program over UDP, on real time: the traffic record of
// an open as faults shape it.

#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "app/dialog_harness.h"
#include "session/timer_loop.h"
#include "session/trace_text.h"
#include "sim/sim_process.h"

namespace qv31 {
namespace {

// Every reply 600 ms late (after the repeat at 510 ms, so the repeat's own reply comes in late
// while the next request is in flight) and every fifth reply corrupted: the record shows
// each block with what became of it, and the open still completes.
TEST(DialogSimTest, TheTrafficRecordOfASessionWithRepeatsLateAndCorruptReplies) {
  simtest::SimProcess faulty;
  ASSERT_TRUE(faulty.Start({"--udp", "127.0.0.1:0", "--delay", "600", "--corrupt", "5"}));
  TempDir dir{"qv31-dlg-sim"};
  FakeView view;
  CQV31Dlg* dialog = nullptr;
  // The command line's timers: real time, fired on the test's thread.
  TimerLoop timers{[&](int id) { dialog->OnTimer(id); }};
  DialogEnvironment env;
  env.view = &view;
  env.timers = &timers;
  env.clock = [&] { return timers.NowMs(); };
  env.settingsDir = dir.Dir().string();
  env.discoverPorts = [] { return std::vector<std::string>{}; };
  const auto dlg = std::make_unique<CQV31Dlg>(std::move(env));  // ends before the timers
  dialog = dlg.get();
  dlg->OnInitDialog();
  view.SetChecked(IDC_MODE, false);
  dlg->OnModeCheck();
  view.SetText(IDC_LINK_ADDRESS, "127.0.0.1");
  view.SetText(IDC_LINK_TARGET_PORT, std::to_string(faulty.UdpPort()));
  dlg->OnCommand(IDC_OPEN_CLOSE);
  const uint32_t end = timers.NowMs() + 30000;
  timers.RunUntil([&] { return view.Text(IDC_STATUS) == "执行完成" || timers.NowMs() > end; });
  ASSERT_EQ(view.Text(IDC_STATUS), "执行完成");

  const TrafficLog& log = dlg->Traffic();
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
