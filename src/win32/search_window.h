#pragma once

#include <functional>

#include "win32/win32_api.h"

namespace qv31 {

// The window "搜索网关" (template 1072), beside the main dialog: a range box, the gateways that
// answered and "确定". It has no behaviour of its own: the view serves its controls 1073 to
// 1077 by ID like the main dialog's, and the events go to the dialog's finder. Made hidden;
// the finder shows and hides it through the view.
class SearchWindow {
 public:
  // `command`: a control of the finder's was used (IDC_SEARCH_START, IDC_SEARCH_USE);
  // `closed`: the window was closed without a choice (关闭, Esc, the close box).
  SearchWindow(std::function<void(int id)> command, std::function<void()> closed);
  ~SearchWindow();
  SearchWindow(const SearchWindow&) = delete;
  SearchWindow& operator=(const SearchWindow&) = delete;

  void Create(HINSTANCE instance, HWND owner, HICON icon);
  HWND Hwnd() const { return window_; }
  // The dialog keys of the window: true when `msg` was handled.
  bool PreTranslate(MSG* msg);

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void OnCommand(int id, int code);

  std::function<void(int)> command_;
  std::function<void()> closed_;
  HWND window_ = nullptr;
};

}  // namespace qv31
