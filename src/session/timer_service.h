#pragma once

#include <cstdint>

namespace qv31 {

// Timers started and killed by ID: the window's timers, or the command line's own loop.
class TimerService {
 public:
  virtual ~TimerService() = default;
  virtual void StartTimer(int id, uint32_t periodMs) = 0;
  virtual void KillTimer(int id) = 0;
};

// The session's timer IDs and periods. The engine tick runs only while the engine has work;
// the three stop timers run the stop sequence.
constexpr int TIMER_ENGINE = 1;
constexpr int TIMER_STOP_SEND = 100;
constexpr int TIMER_STOP_DRAIN = 101;
constexpr int TIMER_STOP_END = 102;
constexpr uint32_t STOP_SEND_MS = 100;
constexpr uint32_t STOP_DRAIN_MS = 100;
constexpr uint32_t STOP_END_MS = 1000;

}  // namespace qv31
