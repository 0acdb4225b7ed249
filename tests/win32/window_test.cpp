// The Windows window in the test's process: its controls as dialog 102 makes them, the keys
// and menus of the dialog, the about box and the list's in-place editors.
#include <gtest/gtest.h>

#include <array>

#include "app/control_ids.h"
#include "app/cqv31_dlg.h"
#include "win32/about_box.h"
#include "win32/resource_ids.h"
#include "win32/win32_dialog_view.h"
#include "window_driver.h"

namespace qv31::test {
namespace {

TEST(Win32Window, StartsWithTheLinkClosedAndEveryCommandOff) {
  WindowDriver w;
  for (const int id : COMMAND_BUTTONS) EXPECT_FALSE(w.Enabled(id)) << id;
  for (const int id : {IDC_MODE, IDC_LINK_PORT, IDC_LINK_BAUD, IDC_LINK_FORMAT, IDC_LINK_ADDRESS,
                       IDC_OPEN_CLOSE, IDC_STOP_ACQ}) {
    EXPECT_TRUE(w.Enabled(id)) << id;
  }
  EXPECT_FALSE(w.Enabled(IDC_LINK_PROTOCOL));
  EXPECT_FALSE(w.Enabled(IDC_LINK_TARGET_PORT));
  EXPECT_FALSE(w.Visible(IDC_CELL_EDIT));
  EXPECT_FALSE(w.Visible(IDC_CELL_COMBO));
  EXPECT_FALSE(w.Visible(IDC_IP_PARSER));
  EXPECT_EQ(w.Text(IDC_OPEN_CLOSE), "打开");
  // Fresh settings: serial mode, its controls shown.
  EXPECT_TRUE(w.Checked(IDC_MODE));
  EXPECT_EQ(w.Text(IDC_MODE), "串口");
  EXPECT_TRUE(w.Visible(IDC_LINK_BAUD));
  EXPECT_FALSE(w.Visible(IDC_LINK_ADDRESS));
  EXPECT_EQ(w.Text(IDC_LINK_BAUD), "9600");  // the settings file's default
  EXPECT_EQ(SendMessageW(w.Control(IDC_PORT4_FORMAT), CB_GETCOUNT, 0, 0), 6);
  EXPECT_EQ(w.Text(IDC_CH2_PROTOCOL), "TCP Server");
  EXPECT_EQ(w.Text(IDC_CANCEL), "退出");
  wchar_t title[64] = {};
  GetWindowTextW(w.Hwnd(), title, 64);
  EXPECT_EQ(Utf8(title), "采集管理设置软件");
}

TEST(Win32Window, ModeSwitchShowsTheOtherLinkControls) {
  WindowDriver w;
  w.Click(IDC_MODE);
  EXPECT_EQ(w.Text(IDC_MODE), "网口");
  for (const int id :
       {IDC_LABEL_PROTOCOL, IDC_LINK_PROTOCOL, IDC_LINK_ADDRESS, IDC_LINK_TARGET_PORT})
    EXPECT_TRUE(w.Visible(id)) << id;
  for (const int id : {IDC_LINK_PORT, IDC_LINK_BAUD, IDC_STOP_ACQ})
    EXPECT_FALSE(w.Visible(id)) << id;
  RECT button;
  GetWindowRect(w.Control(IDC_OPEN_CLOSE), &button);
  MapWindowPoints(nullptr, w.Hwnd(), reinterpret_cast<POINT*>(&button), 2);
  // Centred in the link's group: 93 pixels of the layout are 53 dialog units.
  RECT units = {53, 0, 0, 0};
  MapDialogRect(w.Hwnd(), &units);
  EXPECT_EQ(button.left, units.left);
  w.Click(IDC_MODE);
  EXPECT_TRUE(w.Visible(IDC_STOP_ACQ));
}

TEST(Win32Window, EnterIsIgnoredAndEscCloses) {
  WindowDriver w;
  SetFocus(w.Control(IDC_LINK_BAUD));
  w.Key(VK_RETURN);
  EXPECT_FALSE(w.Window().Closed());
  w.Key(VK_ESCAPE);
  EXPECT_TRUE(w.Window().Closed());
}

TEST(Win32Window, SystemMenuEndsWithTheAboutEntry) {
  WindowDriver w;
  HMENU menu = GetSystemMenu(w.Hwnd(), FALSE);
  const int count = GetMenuItemCount(menu);
  ASSERT_GE(count, 2);
  EXPECT_EQ(GetMenuItemID(menu, count - 1), static_cast<UINT>(IDM_ABOUTBOX));
  wchar_t text[64] = {};
  GetMenuStringW(menu, count - 1, text, 64, MF_BYPOSITION);
  EXPECT_EQ(Utf8(text), "关于 QV31(&A)...");
  MENUITEMINFOW separator = {};
  separator.cbSize = sizeof(separator);
  separator.fMask = MIIM_FTYPE;
  GetMenuItemInfoW(menu, count - 2, TRUE, &separator);
  EXPECT_TRUE(separator.fType & MFT_SEPARATOR);
}

// The about box's texts, read while it runs modally and then closed with OK.
std::string g_aboutTitle, g_aboutLine;
void CALLBACK ReadAboutBox(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND about = FindWindowW(nullptr, L"关于 QV31");
  if (about == nullptr) return;
  KillTimer(nullptr, timer);
  UpdateWindow(about);
  SaveScreenshot(about, "about");
  g_aboutTitle = WindowTextUtf8(about);
  g_aboutLine = WindowTextUtf8(GetDlgItem(about, IDC_VERSION_LABEL));
  SendMessageW(GetDlgItem(about, IDOK), BM_CLICK, 0, 0);
}

TEST(Win32Window, AboutBoxShowsTheVersionResource) {
  WindowDriver w;
  // The version resource is the project's version, a.b.c.d.
  EXPECT_EQ(FileVersionText(GetModuleHandleW(nullptr)), QV31_VERSION);
  SetTimer(nullptr, 0, 20, ReadAboutBox);
  SendMessageW(w.Hwnd(), WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
  EXPECT_EQ(g_aboutTitle, "关于 QV31");
  EXPECT_EQ(g_aboutLine, std::string("QV31，") + QV31_VERSION + " 版");
}

TEST(Win32Window, ListHasItsColumnsAndNumberedRows) {
  WindowDriver w;
  HWND list = w.Control(IDC_ACQ_LIST);
  EXPECT_EQ(ListView_GetItemCount(list), 255);
  EXPECT_EQ(ListView_GetExtendedListViewStyle(list) & 0x21, 0x21u);
  EXPECT_EQ(ListView_GetBkColor(list), RGB(209, 209, 209));
  const std::array<const char*, 9> headers = {"*编号*",     "通道号",   "从站地址",
                                              "变量类型",   "起始变量", "变量个数",
                                              "*变量计算*", "缓存",     "*缓存计算*"};
  const std::array<int, 9> widths = {60, 60, 60, 80, 80, 80, 145, 90, 145};
  const int dpi = WindowDpi(list);
  for (int c = 0; c < 9; ++c) {
    wchar_t text[64] = {};
    LVCOLUMNW column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = text;
    column.cchTextMax = 64;
    ASSERT_TRUE(SendMessageW(list, LVM_GETCOLUMNW, c, reinterpret_cast<LPARAM>(&column)));
    EXPECT_EQ(Utf8(text), headers[c]);
    EXPECT_EQ(column.cx, MulDiv(widths[c], dpi, 96)) << c;
  }
  EXPECT_EQ(w.Cell(0, 0), "1");
  EXPECT_EQ(w.Cell(254, 0), "255");
  EXPECT_EQ(w.Cell(254, 1), "");
}

// Chooses entry `index` of the open drop-down as a click on it does.
void Choose(WindowDriver& w, int index) {
  HWND combo = w.Control(IDC_CELL_COMBO);
  SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  SendMessageW(w.Hwnd(), WM_COMMAND, MAKEWPARAM(IDC_CELL_COMBO, CBN_SELENDOK),
               reinterpret_cast<LPARAM>(combo));
  w.Pump(20);
}

TEST(Win32Window, ComboCellTakesTheChosenEntry) {
  WindowDriver w;
  w.ClickCell(3, 3);
  ASSERT_TRUE(w.Visible(IDC_CELL_COMBO));
  HWND combo = w.Control(IDC_CELL_COMBO);
  EXPECT_TRUE(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0));
  EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 12);
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 0);  // an empty cell selects "01-R"
  // The list closed without a choice: the editor goes, the cell keeps its text.
  SendMessageW(combo, CB_SHOWDROPDOWN, FALSE, 0);
  w.Pump(20);
  EXPECT_FALSE(w.Visible(IDC_CELL_COMBO));
  EXPECT_EQ(w.Cell(3, 3), "");
  w.ClickCell(3, 3);
  Choose(w, 2);
  EXPECT_FALSE(w.Visible(IDC_CELL_COMBO));
  EXPECT_EQ(w.Cell(3, 3), "03-R");
  EXPECT_EQ(w.Cell(3, 6), "40001~40000");  // start and count still empty: 0
  // A click on the list while the drop-down shows drops it and opens the next cell's editor.
  w.ClickCell(3, 1);
  w.ClickCell(3, 2);
  EXPECT_FALSE(w.Visible(IDC_CELL_COMBO));
  EXPECT_TRUE(w.Visible(IDC_CELL_EDIT));
  EXPECT_EQ(w.Cell(3, 1), "");
}

TEST(Win32Window, NumberCellCommitsWhenAnotherCellIsClicked) {
  WindowDriver w;
  w.ClickCell(4, 3);
  Choose(w, 2);  // "03-R"
  w.ClickCell(4, 4);
  ASSERT_TRUE(w.Visible(IDC_CELL_EDIT));
  EXPECT_EQ(GetFocus(), w.Control(IDC_CELL_EDIT));
  w.SetText(IDC_CELL_EDIT, "70000");
  w.ClickCell(4, 5);  // the edit box loses the focus before the click reaches the list
  EXPECT_EQ(w.Cell(4, 4), "70000");
  EXPECT_EQ(w.Cell(4, 6), "470001~470000");  // the typed number, not cut
  ASSERT_TRUE(w.Visible(IDC_CELL_EDIT));     // now over the count cell
  w.SetText(IDC_CELL_EDIT, "12");
  w.Key(VK_ESCAPE);  // drops this edit only
  EXPECT_FALSE(w.Window().Closed());
  EXPECT_FALSE(w.Visible(IDC_CELL_EDIT));
  EXPECT_EQ(w.Cell(4, 5), "");
  w.ClickCell(4, 5);
  w.SetText(IDC_CELL_EDIT, "12");
  w.Key(VK_RETURN);
  EXPECT_FALSE(w.Visible(IDC_CELL_EDIT));
  EXPECT_EQ(w.Cell(4, 5), "12");
  EXPECT_EQ(w.Cell(4, 6), "470001~470012");
}

TEST(Win32Window, ListIsEditedFromTheKeyboard) {
  WindowDriver w;
  w.ClickCell(6, 2);  // the slave address
  ASSERT_TRUE(w.Visible(IDC_CELL_EDIT));
  w.SetText(IDC_CELL_EDIT, "9");
  w.Key(VK_TAB);  // commits, and opens the type's drop-down on the same row
  EXPECT_EQ(w.Cell(6, 2), "9");
  ASSERT_TRUE(w.Visible(IDC_CELL_COMBO));
  SendMessageW(w.Control(IDC_CELL_COMBO), CB_SETCURSEL, 3, 0);
  w.Pump(100);
  SaveScreenshot(w.Hwnd(), "editing");
  w.Key(VK_TAB);  // the entry shown is the choice
  EXPECT_EQ(w.Cell(6, 3), "04-R");
  ASSERT_TRUE(w.Visible(IDC_CELL_EDIT));  // over the start
  w.Key(VK_ESCAPE);
  EXPECT_FALSE(w.Visible(IDC_CELL_EDIT));
  EXPECT_FALSE(w.Window().Closed());
  EXPECT_EQ(GetFocus(), w.Control(IDC_ACQ_LIST));
  w.Key(VK_RIGHT);  // from the start to the count
  w.Key(VK_F2);
  ASSERT_TRUE(w.Visible(IDC_CELL_EDIT));
  w.SetText(IDC_CELL_EDIT, "4");
  w.Key(VK_RETURN);
  EXPECT_EQ(w.Cell(6, 5), "4");
  EXPECT_EQ(w.Cell(6, 6), "30001~30004");
  EXPECT_EQ(GetFocus(), w.Control(IDC_ACQ_LIST));
}

TEST(Win32Window, ClickOnTheDialogHidesTheEditorsWithoutWriting) {
  WindowDriver w;
  w.ClickCell(0, 1);
  ASSERT_TRUE(w.Visible(IDC_CELL_COMBO));
  SendMessageW(w.Hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  w.Pump(20);
  EXPECT_FALSE(w.Visible(IDC_CELL_COMBO));
  EXPECT_EQ(w.Cell(0, 1), "");
}

TEST(Win32Window, MarkedCellNamesItsReason) {
  WindowDriver w;
  // A channel and nothing else: no type, slave address 0, count 0.
  w.ClickCell(0, 1);
  Choose(w, 0);
  ASSERT_FALSE(w.Window().Dialog().Findings().empty());
  for (const AcqFinding& f : w.Window().Dialog().Findings()) {
    EXPECT_EQ(f.row, 0);
    EXPECT_NE(w.Window().View().List().MarkText(f.row, f.column).find(Wide(f.text)),
              std::wstring::npos);
  }
  EXPECT_TRUE(w.Window().View().List().MarkText(1, 2).empty());
}

}  // namespace
}  // namespace qv31::test
