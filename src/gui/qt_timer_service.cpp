#include "gui/qt_timer_service.h"

#include <QElapsedTimer>

namespace qv31 {

QtTimerService::QtTimerService(std::function<void(int)> onTimer) : onTimer_(std::move(onTimer)) {}

void QtTimerService::StartTimer(int id, uint32_t periodMs) {
  std::unique_ptr<QTimer>& timer = timers_[id];
  if (!timer) {
    timer = std::make_unique<QTimer>();
    timer->setTimerType(Qt::PreciseTimer);
    // Queued work may kill this very timer from inside the call; a stopped QTimer stays alive.
    QObject::connect(timer.get(), &QTimer::timeout, [this, id] { onTimer_(id); });
  }
  timer->start(static_cast<int>(periodMs));
}

void QtTimerService::KillTimer(int id) {
  const auto it = timers_.find(id);
  if (it != timers_.end()) it->second->stop();
}

bool QtTimerService::IsRunning(int id) const {
  const auto it = timers_.find(id);
  return it != timers_.end() && it->second->isActive();
}

uint32_t MonotonicMs() {
  QElapsedTimer clock;
  clock.start();
  return static_cast<uint32_t>(clock.msecsSinceReference());
}

}  // namespace qv31
