#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>

#include "session/timer_service.h"

namespace qv31 {

// Timers for a program without a window: RunUntil sleeps until the next timer falls due and
// fires it, on the thread that calls it. A timer that fell behind fires once and keeps its
// period from then on.
class TimerLoop final : public TimerService {
 public:
  using Clock = std::chrono::steady_clock;
  explicit TimerLoop(std::function<void(int)> onTimer);

  void StartTimer(int id, uint32_t periodMs) override;
  void KillTimer(int id) override;

  // Fires timers until `done` holds (true), or no timer runs and `done` still does not hold
  // (false).
  bool RunUntil(const std::function<bool()>& done);

  // Milliseconds since the loop was made, as a 32-bit wrapping counter.
  uint32_t NowMs() const;

 private:
  struct Timer {
    std::chrono::milliseconds period;
    Clock::time_point due;
  };
  std::function<void(int)> onTimer_;
  std::map<int, Timer> timers_;
  Clock::time_point epoch_ = Clock::now();
};

}  // namespace qv31
