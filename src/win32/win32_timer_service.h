#pragma once

#include <cstdint>

#include "link/request_engine.h"
#include "win32/win32_api.h"

namespace qv31 {

// The dialog's window timers: SetTimer on the dialog with the timer's ID, so each one arrives
// as WM_TIMER with that ID. Starting a running ID restarts it with the new period.
class Win32TimerService final : public TimerService {
 public:
  explicit Win32TimerService(HWND window) : window_(window) {}
  void StartTimer(int id, uint32_t periodMs) override {
    SetTimer(window_, static_cast<UINT_PTR>(id), periodMs, nullptr);
  }
  void KillTimer(int id) override { ::KillTimer(window_, static_cast<UINT_PTR>(id)); }

 private:
  HWND window_;
};

// The system's 32-bit millisecond tick counter (it wraps after 49.7 days).
inline uint32_t TickCountMs() { return GetTickCount(); }

}  // namespace qv31
