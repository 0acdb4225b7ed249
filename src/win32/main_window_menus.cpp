// The main dialog's menus (the system menu's entries, the context menu) and its language.
#include <windowsx.h>

#include "app/cqv31_dlg.h"
#include "win32/main_window.h"
#include "win32/resource_ids.h"
#include "win32/traffic_monitor_window.h"
#include "win32/win32_dialog_view.h"
#include "win32/win32_language.h"

namespace qv31 {
namespace {

constexpr const char* ABOUT_ENTRY = "关于 QV31(&A)...";
constexpr const char* TRAFFIC_ENTRY = "通信记录(&T)...";

// Each language is offered by its own name, so an operator who reads only it finds it.
const wchar_t* LanguageEntry() {
  return Win32Language() == Language::Chinese ? L"English" : L"中文";
}

}  // namespace

void MainWindow::AddSystemMenuEntries() {
  HMENU menu = GetSystemMenu(window_, FALSE);
  if (menu == nullptr) return;
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, MF_STRING, IDM_TRAFFIC, (TrW(TRAFFIC_ENTRY) + L"\tF12").c_str());
  AppendMenuW(menu, MF_STRING, IDM_LANGUAGE, LanguageEntry());
  // The about entry stays last, after a separator of its own.
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, MF_STRING, IDM_ABOUTBOX, TrW(ABOUT_ENTRY).c_str());
}

void MainWindow::ChooseLanguage(Language language) {
  if (!dlg_) return;
  dlg_->ChooseLanguage(language);
  ApplyLanguage(language);
}

void MainWindow::ApplyLanguage(Language language) {
  SetWin32Language(language);
  view_->Retranslate();
  HMENU menu = GetSystemMenu(window_, FALSE);
  ModifyMenuW(menu, IDM_TRAFFIC, MF_BYCOMMAND | MF_STRING, IDM_TRAFFIC,
              (TrW(TRAFFIC_ENTRY) + L"\tF12").c_str());
  ModifyMenuW(menu, IDM_LANGUAGE, MF_BYCOMMAND | MF_STRING, IDM_LANGUAGE, LanguageEntry());
  ModifyMenuW(menu, IDM_ABOUTBOX, MF_BYCOMMAND | MF_STRING, IDM_ABOUTBOX, TrW(ABOUT_ENTRY).c_str());
  if (monitor_) monitor_->Retranslate();
}

bool MainWindow::OnSysCommand(WPARAM command) {
  if (!dlg_) return false;
  switch (command & 0xFFF0) {
    case IDM_ABOUTBOX:
      dlg_->OnAbout();
      return true;
    case IDM_TRAFFIC:
      ShowMonitor();
      return true;
    case IDM_LANGUAGE:
      OnCommand(IDM_LANGUAGE, 0);
      return true;
    default:
      return false;
  }
}

void MainWindow::OnContextMenu(HWND from, LPARAM at) {
  if (!dlg_) return;
  Win32AcqList& list = view_->List();
  POINT point = {GET_X_LPARAM(at), GET_Y_LPARAM(at)};
  if (at != -1 && from == list.Hwnd()) return;  // a right click on the list does nothing
  if (at == -1) {
    HWND focus = GetFocus() != nullptr ? GetFocus() : window_;
    RECT place;
    GetWindowRect(focus, &place);
    if (focus == list.Hwnd() && list.CurrentRow() >= 0) {
      place = list.CellRect(list.CurrentRow(), list.CurrentColumn());
      MapWindowPoints(list.Hwnd(), nullptr, reinterpret_cast<POINT*>(&place), 2);
    }
    point = {(place.left + place.right) / 2, (place.top + place.bottom) / 2};
  }
  HMENU menu = CreatePopupMenu();
  AppendMenuW(menu, MF_STRING, IDM_ABOUTBOX, (TrW(ABOUT_ENTRY) + L"\tF1").c_str());
  AppendMenuW(menu, MF_STRING, IDM_TRAFFIC, (TrW(TRAFFIC_ENTRY) + L"\tF12").c_str());
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, MF_STRING, IDM_LANGUAGE, LanguageEntry());
  const UINT command =
      TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, point.x, point.y, 0, window_, nullptr);
  DestroyMenu(menu);
  if (command != 0) OnCommand(static_cast<int>(command), 0);
}

}  // namespace qv31
