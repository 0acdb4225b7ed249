// The window's "搜索" and "检测" over the in-memory view: a real UDP gateway on 127.0.0.1 and a
// real pseudo-terminal, the dialog's timers on a clock that moves about as fast as real time.
#include <gtest/gtest.h>

#include "app/dialog_harness.h"
#include "app/gateway_finder.h"
#include "transport/line_gateway.h"

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

TEST(DialogFinder, SearchListsWhatAnsweredAndTheChoiceFillsTheTarget) {
  FinderRig rig;
  rig.view.SetChecked(IDC_MODE, false);
  rig.dlg->OnModeCheck();
  EXPECT_TRUE(rig.view.IsVisible(IDC_FIND_GATEWAYS));
  EXPECT_FALSE(rig.view.IsVisible(IDC_DETECT_LINE));
  rig.view.SetText(IDC_LINK_TARGET_PORT, std::to_string(rig.gateway.port));
  rig.dlg->OnCommand(IDC_FIND_GATEWAYS);
  EXPECT_TRUE(rig.view.IsVisible(IDC_SEARCH_DIALOG));

  rig.view.SetText(IDC_SEARCH_RANGE, "127.0.0.2, 10.0.0.0/8");
  rig.dlg->OnCommand(IDC_SEARCH_START);
  EXPECT_EQ(rig.view.Text(IDC_SEARCH_STATUS), "搜索范围无效：10.0.0.0/8");
  EXPECT_FALSE(rig.timers.Running(TIMER_FINDER));

  rig.view.SetText(IDC_SEARCH_RANGE, "127.0.0.1 127.0.0.2");
  rig.dlg->OnCommand(IDC_SEARCH_START);
  EXPECT_EQ(rig.view.Text(IDC_SEARCH_STATUS), "正在搜索…");
  EXPECT_FALSE(rig.view.IsEnabled(IDC_SEARCH_START));
  ASSERT_TRUE(rig.RunUntil([&] { return rig.view.IsEnabled(IDC_SEARCH_START); }));
  EXPECT_EQ(rig.view.Text(IDC_SEARCH_STATUS), "找到 1 个网关");
  const std::string port = std::to_string(rig.gateway.port);
  const auto items = rig.view.ComboItems(IDC_SEARCH_LIST);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].rfind("127.0.0.1:" + port + "  ", 0), 0u) << items[0];
  EXPECT_FALSE(rig.timers.Running(TIMER_FINDER));

  rig.view.SetText(IDC_LINK_ADDRESS, "192.0.2.1");
  rig.view.SetText(IDC_LINK_TARGET_PORT, "1");
  rig.dlg->OnCommand(IDC_SEARCH_USE);
  EXPECT_EQ(rig.view.Text(IDC_LINK_ADDRESS), "127.0.0.1");
  EXPECT_EQ(rig.view.Text(IDC_LINK_TARGET_PORT), port);
  EXPECT_FALSE(rig.view.IsVisible(IDC_SEARCH_DIALOG));

  // The chosen gateway opens; while the link is open neither finder can start.
  rig.dlg->OnCommand(IDC_OPEN_CLOSE);
  ASSERT_TRUE(rig.RunToIdle());
  EXPECT_EQ(rig.Status(), "执行完成");
  EXPECT_FALSE(rig.view.IsEnabled(IDC_FIND_GATEWAYS));
  EXPECT_FALSE(rig.view.IsEnabled(IDC_DETECT_LINE));
}

TEST(DialogFinder, DetectSelectsTheBaudAndFormatThatAnswered) {
  PtyPair pty;
  ASSERT_TRUE(pty.Ok());
  LineGateway line(pty, 115200, 1, "检测网关");
  FinderRig rig({pty.slavePath});
  rig.view.SetChecked(IDC_MODE, true);
  rig.dlg->OnModeCheck();
  EXPECT_TRUE(rig.view.IsVisible(IDC_DETECT_LINE));
  EXPECT_EQ(rig.view.Text(IDC_LINK_BAUD), "9600");
  rig.dlg->OnCommand(IDC_DETECT_LINE);
  EXPECT_EQ(rig.view.Text(IDC_DETECT_LINE), "取消");
  EXPECT_EQ(rig.view.Text(IDC_STATUS), "检测 9600 n,8,1（1/54）");
  EXPECT_FALSE(rig.view.IsEnabled(IDC_OPEN_CLOSE));
  EXPECT_FALSE(rig.view.IsEnabled(IDC_LINK_BAUD));
  rig.dlg->OnCommand(IDC_OPEN_CLOSE);  // the port is the scan's until it ends
  EXPECT_FALSE(rig.dlg->LinkOpen());

  ASSERT_TRUE(rig.RunUntil([&] { return rig.view.Text(IDC_DETECT_LINE) == "检测"; }));
  EXPECT_EQ(rig.view.Text(IDC_STATUS), "检测完成：115200 n,8,1 检测网关");
  EXPECT_EQ(rig.view.Text(IDC_LINK_BAUD), "115200");
  EXPECT_EQ(rig.view.Text(IDC_LINK_FORMAT), "n,8,1");
  EXPECT_TRUE(rig.view.IsEnabled(IDC_OPEN_CLOSE));
  EXPECT_TRUE(rig.view.IsEnabled(IDC_LINK_BAUD));
  EXPECT_EQ(rig.view.progress.front(), (std::pair<int, int>{1, 54}));
  EXPECT_EQ(rig.view.progress.back(), (std::pair<int, int>{0, 0}));
}

TEST(DialogFinder, CancelGivesThePortBackAndAReopenPauseIsKept) {
  PtyPair pty;  // nothing answers
  ASSERT_TRUE(pty.Ok());
  FinderRig rig({pty.slavePath});
  rig.view.SetChecked(IDC_MODE, true);
  rig.dlg->OnModeCheck();
  rig.dlg->OnCommand(IDC_DETECT_LINE);
  ASSERT_TRUE(rig.RunUntil([&] { return rig.view.progress.back().first == 3; }));
  rig.dlg->OnCommand(IDC_DETECT_LINE);
  EXPECT_EQ(rig.view.Text(IDC_STATUS), "检测已取消");
  EXPECT_EQ(rig.view.Text(IDC_DETECT_LINE), "检测");
  EXPECT_FALSE(rig.timers.Running(TIMER_FINDER));
  EXPECT_TRUE(rig.view.IsEnabled(IDC_OPEN_CLOSE));

  // The link opens on the port at once: the scan let go of it.
  rig.dlg->OnCommand(IDC_OPEN_CLOSE);
  EXPECT_TRUE(rig.dlg->LinkOpen());
  rig.dlg->OnCommand(IDC_OPEN_CLOSE);
  EXPECT_FALSE(rig.view.IsEnabled(IDC_OPEN_CLOSE));  // the pause after a close

  // A scan started during the pause leaves the button to the pause's end, not to its own.
  rig.dlg->OnCommand(IDC_DETECT_LINE);
  rig.timers.Advance(1000);
  EXPECT_FALSE(rig.view.IsEnabled(IDC_OPEN_CLOSE));
  rig.dlg->OnCommand(IDC_DETECT_LINE);
  EXPECT_TRUE(rig.view.IsEnabled(IDC_OPEN_CLOSE));
}

}  // namespace
}  // namespace qv31
