// The window's "检测" over the in-memory view, on a real pseudo-terminal, the dialog's timers on
// a clock that moves about as fast as real time: what a scan does to the link controls.
#include <gtest/gtest.h>

#include "app/dialog_harness.h"
#include "app/gateway_finder.h"
#include "transport/pty_pair.h"

namespace qv31 {
namespace {

struct FinderRig : DialogRig {
  explicit FinderRig(std::vector<std::string> ports = {}) : DialogRig(std::move(ports)) {
    // The line and the sockets answer in real time; the dialog's clock keeps pace with it.
    timers.beforeTick = [this] {
      gateway.Pump();
      ::usleep(1000 * 10 / SPEED_UP);
    };
  }
  bool RunUntil(const std::function<bool()>& done, uint32_t limitMs = 10000) {
    return timers.AdvanceUntil(done, limitMs);
  }
  static constexpr int SPEED_UP = 2;
};

TEST(DialogFinder, CancelGivesThePortBack) {
  PtyPair pty;  // nothing answers
  ASSERT_TRUE(pty.Ok());
  FinderRig rig({pty.slavePath});
  rig.view.SetChecked(IDC_MODE, true);
  rig.dlg->OnModeCheck();
  rig.dlg->OnCommand(IDC_DETECT_LINE);
  EXPECT_EQ(rig.view.Text(IDC_STATUS), "检测 9600 n,8,1（1/54）");
  EXPECT_FALSE(rig.view.IsEnabled(IDC_OPEN_CLOSE));
  rig.dlg->OnCommand(IDC_OPEN_CLOSE);  // the port is the scan's until it ends
  EXPECT_FALSE(rig.dlg->LinkOpen());
  ASSERT_TRUE(rig.RunUntil([&] { return rig.view.progress.back().first == 3; }));
  rig.dlg->OnCommand(IDC_DETECT_LINE);
  EXPECT_EQ(rig.view.Text(IDC_STATUS), "检测已取消");
  EXPECT_EQ(rig.view.Text(IDC_DETECT_LINE), "检测");
  EXPECT_FALSE(rig.timers.Running(TIMER_FINDER));
  EXPECT_TRUE(rig.view.IsEnabled(IDC_OPEN_CLOSE));
  EXPECT_EQ(rig.view.progress.front(), (std::pair<int, int>{1, 54}));
  EXPECT_EQ(rig.view.progress.back(), (std::pair<int, int>{0, 0}));

  // The link opens on the port at once: the scan let go of it.
  rig.dlg->OnCommand(IDC_OPEN_CLOSE);
  EXPECT_TRUE(rig.dlg->LinkOpen());
}

}  // namespace
}  // namespace qv31
