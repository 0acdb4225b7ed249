#include "session/timer_loop.h"

#include <algorithm>
#include <thread>
#include <utility>

namespace qv31 {

TimerLoop::TimerLoop(std::function<void(int)> onTimer) : onTimer_(std::move(onTimer)) {}

void TimerLoop::StartTimer(int id, uint32_t periodMs) {
  const std::chrono::milliseconds period(periodMs);
  timers_[id] = {period, Clock::now() + period};
}

void TimerLoop::KillTimer(int id) { timers_.erase(id); }

bool TimerLoop::RunUntil(const std::function<bool()>& done) {
  while (!done()) {
    const auto next =
        std::min_element(timers_.begin(), timers_.end(),
                         [](const auto& a, const auto& b) { return a.second.due < b.second.due; });
    if (next == timers_.end()) return false;
    const int id = next->first;
    std::this_thread::sleep_until(next->second.due);
    Timer& t = next->second;
    t.due += t.period;
    const auto now = Clock::now();
    if (t.due < now) t.due = now;
    onTimer_(id);
  }
  return true;
}

uint32_t TimerLoop::NowMs() const {
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - epoch_);
  return static_cast<uint32_t>(elapsed.count());
}

}  // namespace qv31
