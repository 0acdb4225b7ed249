// The Windows window in English and in Chinese: every text of the main dialog switches, the
// switch from the menus is kept in the settings file.
#include <gtest/gtest.h>

#include <map>

#include "app/control_ids.h"
#include "app/cqv31_dlg.h"
#include "win32/resource_ids.h"
#include "win32/traffic_monitor_window.h"
#include "win32/win32_dialog_view.h"
#include "window_driver.h"

namespace qv31::test {
namespace {

bool HasChinese(std::wstring_view text) {
  for (const wchar_t c : text) {
    if ((c >= 0x3000 && c <= 0x9FFF) || (c >= 0xFF00 && c <= 0xFFEF)) return true;
  }
  return false;
}

BOOL CALLBACK Collect(HWND child, LPARAM texts) {
  wchar_t text[512] = {};
  GetWindowTextW(child, text, 512);
  (*reinterpret_cast<std::map<int, std::wstring>*>(texts))[GetDlgCtrlID(child)] += text;
  return TRUE;
}

// Every control's text by control ID (the labels without one, -1, run together), the
// drop-down lists' entries, the list's headers; the title under 0.
std::map<int, std::wstring> Texts(HWND dialog) {
  std::map<int, std::wstring> texts;
  EnumChildWindows(dialog, Collect, reinterpret_cast<LPARAM>(&texts));
  wchar_t text[512] = {};
  GetWindowTextW(dialog, text, 512);
  texts[0] = text;
  for (auto& [id, shown] : texts) {
    HWND control = GetDlgItem(dialog, id);
    const int count = static_cast<int>(SendMessageW(control, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count && id > 0; ++i) {
      SendMessageW(control, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
      shown += L"|" + std::wstring(text);
    }
  }
  HWND header = ListView_GetHeader(GetDlgItem(dialog, 1041));
  for (int c = 0; c < Header_GetItemCount(header); ++c) {
    HDITEMW item = {};
    item.mask = HDI_TEXT;
    item.pszText = text;
    item.cchTextMax = 512;
    Header_GetItem(header, c, &item);
    texts[-2] += L"|" + std::wstring(text);
  }
  return texts;
}

std::wstring MenuText(HMENU menu, UINT id) {
  wchar_t text[128] = {};
  GetMenuStringW(menu, id, text, 128, MF_BYCOMMAND);
  return text;
}

TEST(Win32WindowLanguage, EnglishThroughoutThenChineseFromTheMenuAndAfterARestart) {
  const std::map<int, std::wstring> chinese = Texts(WindowDriver().Hwnd());
  const std::string dir = FreshDirectory();
  {
    WindowDriver w(Language::English, dir);
    SaveScreenshot(w.Hwnd(), "english");
    const std::map<int, std::wstring> english = Texts(w.Hwnd());
    for (const auto& [id, text] : english) EXPECT_FALSE(HasChinese(text)) << id;
    EXPECT_EQ(english.at(0), L"Acquisition Manager Settings");
    HMENU menu = GetSystemMenu(w.Hwnd(), FALSE);
    EXPECT_EQ(MenuText(menu, IDM_LANGUAGE), L"中文");
    EXPECT_FALSE(HasChinese(MenuText(menu, IDM_ABOUTBOX) + MenuText(menu, IDM_TRAFFIC)));

    SendMessageW(w.Hwnd(), WM_SYSCOMMAND, IDM_LANGUAGE, 0);
    w.Pump(20);
    EXPECT_EQ(Texts(w.Hwnd()), chinese);
    EXPECT_EQ(MenuText(menu, IDM_LANGUAGE), L"English");
    EXPECT_EQ(MenuText(menu, IDM_TRAFFIC), L"通信记录(&T)...\tF12");
  }
  // --lang asks for English, but the window's own choice comes first.
  WindowDriver again(Language::English, dir);
  EXPECT_EQ(Texts(again.Hwnd()), chinese);
  EXPECT_EQ(again.Window().Dialog().ChosenLanguage(), Language::Chinese);
}

// The dialog reads a control's text back in Chinese whatever the window shows: its logic
// keeps working in English (here the link's button and the mode check box).
TEST(Win32WindowLanguage, TheDialogReadsItsOwnTextsInChinese) {
  WindowDriver w(Language::English);
  EXPECT_EQ(w.Text(IDC_OPEN_CLOSE), Translate("打开", Language::English));
  EXPECT_EQ(w.Window().View().Text(IDC_OPEN_CLOSE), "打开");
  w.Click(IDC_MODE);
  EXPECT_EQ(w.Text(IDC_MODE), Translate("网口", Language::English));
  EXPECT_EQ(w.Window().View().Text(IDC_MODE), "网口");
  EXPECT_TRUE(w.Visible(IDC_LINK_ADDRESS));
  SaveScreenshot(w.Hwnd(), "english-network");
  w.Window().ShowMonitor();
  w.Pump(50);
  SaveScreenshot(w.Window().Monitor().Hwnd(), "english-monitor");
}

}  // namespace
}  // namespace qv31::test
