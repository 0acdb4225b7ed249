// "搜索" and "检测" in the Windows window: the search window against the simulators the runner
// starts on 127.0.0.1 to 127.0.0.3 (QV31_SEARCH_PORT), the detection over COM7 (a gateway on a
// pseudo-terminal) and COM8 (a silent one).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/control_ids.h"
#include "app/cqv31_dlg.h"
#include "win32/resource_ids.h"
#include "win32/win32_dialog_view.h"
#include "window_driver.h"

namespace qv31::test {
namespace {

class Win32WindowFinder : public ::testing::Test {
 protected:
  HWND Search() { return w.Window().View().Control(IDC_SEARCH_DIALOG); }
  HWND SearchControl(int id) { return GetDlgItem(Search(), id); }
  std::string SearchText(int id) { return WindowTextUtf8(SearchControl(id)); }
  void ClickInSearch(int id) {
    SendMessageW(SearchControl(id), BM_CLICK, 0, 0);
    w.Pump(20);
  }
  std::vector<std::string> Found() {
    std::vector<std::string> items;
    HWND list = SearchControl(IDC_SEARCH_LIST);
    const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      wchar_t text[128] = {};
      SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
      items.push_back(Utf8(text));
    }
    return items;
  }
  bool ProgressShown() { return IsWindowVisible(w.Control(IDC_PROGRESS)) != 0; }
  void SelectText(int id, const wchar_t* text) {
    w.SelectCombo(id, static_cast<int>(SendMessageW(w.Control(id), CB_FINDSTRINGEXACT,
                                                    static_cast<WPARAM>(-1),
                                                    reinterpret_cast<LPARAM>(text))));
  }

  WindowDriver w;
};

TEST_F(Win32WindowFinder, SearchListsTheGatewaysAndOkFillsTheTarget) {
  const std::string port = Env("QV31_SEARCH_PORT");
  if (port.empty()) GTEST_SKIP() << "no simulators to find (QV31_SEARCH_PORT)";
  w.Tick(IDC_MODE, false);
  ASSERT_TRUE(w.Visible(IDC_FIND_GATEWAYS));
  EXPECT_FALSE(w.Visible(IDC_DETECT_LINE));
  w.SetText(IDC_LINK_ADDRESS, "192.0.2.1");
  w.SetText(IDC_LINK_TARGET_PORT, port);  // the port the search asks at

  w.Click(IDC_FIND_GATEWAYS);
  ASSERT_TRUE(IsWindowVisible(Search()));
  EXPECT_EQ(GetFocus(), SearchControl(IDC_SEARCH_RANGE));
  SetWindowTextUtf8(SearchControl(IDC_SEARCH_RANGE), "127.0.0.0/28");
  // An empty range would search the machine's real networks: the dialog must read this one.
  ASSERT_EQ(w.Window().View().Text(IDC_SEARCH_RANGE), "127.0.0.0/28");
  w.Key(VK_RETURN);  // Enter in the range box searches
  EXPECT_FALSE(IsWindowEnabled(SearchControl(IDC_SEARCH_START))) << "one search at a time";
  EXPECT_TRUE(w.Pump(10000, [&] { return SearchText(IDC_SEARCH_STATUS) == "找到 3 个网关"; }))
      << SearchText(IDC_SEARCH_STATUS);
  EXPECT_TRUE(IsWindowEnabled(SearchControl(IDC_SEARCH_START)));
  const std::vector<std::string> found = {"127.0.0.1:" + port + "  QV31-SIM 1.0",
                                          "127.0.0.2:" + port + "  QV31-2",
                                          "127.0.0.3:" + port + "  网关三号"};
  EXPECT_EQ(Found(), found);
  SaveScreenshot(Search(), "search");

  SendMessageW(SearchControl(IDC_SEARCH_LIST), LB_SETCURSEL, 2, 0);
  ClickInSearch(IDC_SEARCH_USE);
  EXPECT_FALSE(IsWindowVisible(Search()));
  EXPECT_EQ(w.Text(IDC_LINK_ADDRESS), "127.0.0.3");
  EXPECT_EQ(w.Text(IDC_LINK_TARGET_PORT), port);
  SaveScreenshot(w.Hwnd(), "search-chosen");
  w.Click(IDC_OPEN_CLOSE);
  ASSERT_TRUE(w.Pump(15000, [&] { return w.Text(IDC_STATUS) == "执行完成"; }));
  EXPECT_EQ(w.Text(IDC_VERSION), "网关三号");
  EXPECT_FALSE(w.Enabled(IDC_FIND_GATEWAYS)) << "no search while the link is open";
  // A second click so soon after the open is taken for a double click: it closes once it counts.
  EXPECT_TRUE(w.Pump(5000, [&] {
    if (w.Text(IDC_OPEN_CLOSE) == "关闭") SendMessageW(w.Control(IDC_OPEN_CLOSE), BM_CLICK, 0, 0);
    return w.Enabled(IDC_FIND_GATEWAYS);
  }));

  // In English the window and what it says switch; the gateways' own texts stay.
  w.Window().ChooseLanguage(Language::English);
  w.Click(IDC_FIND_GATEWAYS);
  EXPECT_EQ(w.Text(IDC_FIND_GATEWAYS), "Search");
  EXPECT_EQ(WindowTextUtf8(Search()), "Search gateways");
  EXPECT_EQ(SearchText(IDC_SEARCH_START), "Search");
  EXPECT_EQ(SearchText(IDC_SEARCH_USE), "OK");
  EXPECT_EQ(SearchText(IDCANCEL), "Close");
  EXPECT_EQ(SearchText(IDC_SEARCH_STATUS), "Found 3 gateways");
  EXPECT_EQ(Found(), found);
  SaveScreenshot(Search(), "english-search");
  w.Key(VK_ESCAPE);
  EXPECT_FALSE(IsWindowVisible(Search()));
  EXPECT_FALSE(w.Window().Closed());
}

struct DetectCase {
  const char* port;
  bool cancel;  // a second click while it runs
  const char* baud;
  const char* format;
  const char* status;
};

TEST_F(Win32WindowFinder, DetectShowsItsTriesAndEndsWithTheSettingsOrACancel) {
  if (Env("QV31_SEARCH_PORT").empty()) GTEST_SKIP() << "no gateways on COM7 and COM8";
  const DetectCase cases[] = {
      {"COM7", false, "9600", "n,8,1", "检测完成：9600 n,8,1 串口网关"},
      {"COM8", true, "115200", "e,8,1", "检测已取消"},
  };
  ASSERT_TRUE(w.Visible(IDC_DETECT_LINE));
  EXPECT_FALSE(w.Visible(IDC_FIND_GATEWAYS));
  for (const DetectCase& c : cases) {
    SCOPED_TRACE(c.port);
    SelectText(IDC_LINK_BAUD, L"115200");
    SelectText(IDC_LINK_FORMAT, L"e,8,1");
    w.SetText(IDC_LINK_PORT, c.port);
    // The click alone, no message loop yet: the gateway on COM7 answers the first try at once.
    SendMessageW(w.Control(IDC_DETECT_LINE), BM_CLICK, 0, 0);
    EXPECT_EQ(w.Text(IDC_DETECT_LINE), "取消");
    EXPECT_TRUE(ProgressShown());
    EXPECT_EQ(SendMessageW(w.Control(IDC_PROGRESS), PBM_GETRANGE, FALSE, 0), 54);
    for (const int id : {IDC_OPEN_CLOSE, IDC_MODE, IDC_LINK_PORT, IDC_LINK_BAUD})
      EXPECT_FALSE(w.Enabled(id)) << id;
    if (c.cancel) {
      w.Pump(300);
      SaveScreenshot(w.Hwnd(), "detecting");
      w.Click(IDC_DETECT_LINE);
    }
    ASSERT_TRUE(w.Pump(10000, [&] { return w.Text(IDC_DETECT_LINE) == "检测"; }))
        << w.Text(IDC_STATUS);
    EXPECT_EQ(w.Text(IDC_STATUS), c.status);
    EXPECT_EQ(w.Text(IDC_LINK_BAUD), c.baud);
    EXPECT_EQ(w.Text(IDC_LINK_FORMAT), c.format);
    EXPECT_FALSE(ProgressShown());
    for (const int id : {IDC_OPEN_CLOSE, IDC_MODE, IDC_LINK_PORT, IDC_LINK_BAUD})
      EXPECT_TRUE(w.Enabled(id)) << id;
    if (!c.cancel) SaveScreenshot(w.Hwnd(), "detect");
  }
}

}  // namespace
}  // namespace qv31::test
