#pragma once

#include <cstdint>
#include <string>

#include "win32/win32_api.h"

namespace qv31 {

class TrafficLog;

// The window "通信记录" (dialog 103): every block the engine sent and received (the newest
// rows, up to the record's limit) in a list that reads the record directly, with pause,
// clear and save as text. It looks at the record ten times a second while it is shown and
// keeps to the newest row unless the operator has scrolled up.
class TrafficMonitorWindow {
 public:
  // `saveDir`: where "保存..." starts.
  TrafficMonitorWindow(TrafficLog& log, std::string saveDir);
  ~TrafficMonitorWindow();
  TrafficMonitorWindow(const TrafficMonitorWindow&) = delete;
  TrafficMonitorWindow& operator=(const TrafficMonitorWindow&) = delete;

  void Create(HINSTANCE instance, HWND owner, HICON icon);
  HWND Hwnd() const { return window_; }
  void Show();
  bool PreTranslate(MSG* msg);
  // Brings the rows up to the record now.
  void Sync();
  // Writes the kept rows to `path`; the note line says where, or why not.
  bool SaveTo(const std::string& path);

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void SetUpList();
  void OnCommand(int id);
  void Save();
  void FillCell(NMLVDISPINFOW* info);
  void Layout();

  TrafficLog& log_;
  std::string saveDir_;
  HWND window_ = nullptr;
  HWND list_ = nullptr;
  uint64_t first_ = 0;  // the record's index of the list's row 0
  uint64_t end_ = 0;
  std::wstring cellText_;
};

}  // namespace qv31
