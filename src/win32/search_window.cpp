#include "win32/search_window.h"

#include <utility>

#include "app/control_ids.h"
#include "win32/resource_ids.h"

namespace qv31 {

SearchWindow::SearchWindow(std::function<void(int id)> command, std::function<void()> closed)
    : command_(std::move(command)), closed_(std::move(closed)) {}

SearchWindow::~SearchWindow() {
  if (window_ != nullptr) {
    HWND window = window_;
    window_ = nullptr;
    DestroyWindow(window);
  }
}

void SearchWindow::Create(HINSTANCE instance, HWND owner, HICON icon) {
  CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_SEARCH), owner, DialogProc,
                     reinterpret_cast<LPARAM>(this));
  if (window_ != nullptr)
    SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

INT_PTR CALLBACK SearchWindow::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    reinterpret_cast<SearchWindow*>(lParam)->window_ = window;
    return TRUE;
  }
  auto* self = reinterpret_cast<SearchWindow*>(GetWindowLongPtrW(window, DWLP_USER));
  if (self == nullptr || self->window_ != window) return FALSE;
  switch (message) {
    case WM_COMMAND:
      self->OnCommand(LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_CLOSE:
      self->closed_();
      return TRUE;
    default:
      return FALSE;
  }
}

void SearchWindow::OnCommand(int id, int code) {
  switch (id) {
    case IDOK:  // Enter: takes the gateway the list has chosen, else searches
      command_(GetFocus() == GetDlgItem(window_, IDC_SEARCH_LIST) ? IDC_SEARCH_USE
                                                                  : IDC_SEARCH_START);
      return;
    case IDCANCEL:
      closed_();
      return;
    case IDC_SEARCH_LIST:
      if (code == LBN_DBLCLK) command_(IDC_SEARCH_USE);
      return;
    case IDC_SEARCH_START:
    case IDC_SEARCH_USE:
      if (code == BN_CLICKED) command_(id);
      return;
    default:
      return;
  }
}

bool SearchWindow::PreTranslate(MSG* msg) {
  return window_ != nullptr && IsDialogMessageW(window_, msg) != 0;
}

}  // namespace qv31
