#pragma once

#include <QTimer>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "session/timer_service.h"

namespace qv31 {

// The dialog's window timers as QTimers (Qt::PreciseTimer, so a 10 ms tick stays near 10 ms),
// started and killed by ID; a timer that fires calls `onTimer` with its ID.
class QtTimerService final : public TimerService {
 public:
  explicit QtTimerService(std::function<void(int)> onTimer);

  // Starting a running ID restarts it with the new period, as a window timer does.
  void StartTimer(int id, uint32_t periodMs) override;
  void KillTimer(int id) override;
  bool IsRunning(int id) const;

 private:
  std::function<void(int)> onTimer_;
  std::map<int, std::unique_ptr<QTimer>> timers_;
};

// Milliseconds of the system's monotonic clock, cut to 32 bits (it wraps after 49.7 days,
// like the tick counter the dialog was written for).
uint32_t MonotonicMs();

}  // namespace qv31
