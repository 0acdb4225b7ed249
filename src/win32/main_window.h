#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/text_catalogue.h"
#include "win32/win32_api.h"

namespace qv31 {

class CQV31Dlg;
class Win32DialogView;
class Win32TimerService;
class TrafficMonitorWindow;
class SearchWindow;

struct MainWindowOptions {
  std::string settingsDir;  // empty: beside the program (the library's choice)
  std::function<std::vector<std::string>()> discoverPorts;  // empty: the system's ports
  std::string version;  // a.b.c.d for the about box; empty: the version resource's
  Language language = Language::Chinese;  // unless one was chosen in the window
};

// The main dialog (template 102) as a modeless dialog: it draws the controls and forwards
// every event to CQV31Dlg, which decides everything. The program's message loop, and the
// tests, run it through PreTranslate.
class MainWindow {
 public:
  explicit MainWindow(MainWindowOptions options);
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Creates and shows the dialog; false when the template cannot be made.
  bool Create(HINSTANCE instance);
  HWND Hwnd() const { return window_; }
  // True once the operator has closed the window (退出, Esc, the close box).
  bool Closed() const { return window_ == nullptr; }
  // Accelerators (F1, F12) and the dialog keys of the window, the traffic monitor and the
  // search window: true when `msg` was handled and must not be dispatched.
  bool PreTranslate(MSG* msg);

  CQV31Dlg& Dialog() { return *dlg_; }
  Win32DialogView& View() { return *view_; }
  // The window "通信记录", made on first use.
  TrafficMonitorWindow& Monitor();
  void ShowMonitor();
  // The menus' "English" / "中文": kept in the settings file and shown at once.
  void ChooseLanguage(Language language);

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void OnInitDialog();
  void AddSystemMenuEntries();
  void CreateSearchWindow();
  void ApplyLanguage(Language language);
  void OnCommand(int id, int code);
  INT_PTR OnNotify(const NMHDR* header);
  bool OnSysCommand(WPARAM command);
  bool OnPaint();
  // The menu of the about box and the traffic monitor: at the pointer, or from the keyboard
  // (Shift+F10, the menu key) at the control that has the focus.
  void OnContextMenu(HWND from, LPARAM at);
  // Opens the editor of a cell, made the list's current one, as a click on it would.
  void EditCell(int row, int column);
  // Tab and Shift+Tab from an editor: the next (step 1) or previous (-1) editable cell.
  void EditNextCell(int step);
  void RememberLayout();
  void OnSize();
  void Destroy();
  // A datagram on the UDP link's socket arrives as a window message (-1: none watched).
  void WatchSocket(int socket);

  MainWindowOptions options_;
  HWND window_ = nullptr;
  HINSTANCE instance_ = nullptr;
  HICON icon_ = nullptr;
  HICON smallIcon_ = nullptr;
  HACCEL accelerators_ = nullptr;
  std::unique_ptr<Win32DialogView> view_;
  std::unique_ptr<Win32TimerService> timers_;
  std::unique_ptr<CQV31Dlg> dlg_;
  std::unique_ptr<TrafficMonitorWindow> monitor_;
  std::unique_ptr<SearchWindow> search_;
  // Where the controls that follow the window's size sat at its first size.
  SIZE firstClient_ = {};
  POINT firstMinimum_ = {};
  std::map<int, RECT> firstPlaces_;
  int watchedSocket_ = -1;
};

// Runs the message loop until the window closes; the process's exit code.
int RunMessageLoop(MainWindow& window);

}  // namespace qv31
