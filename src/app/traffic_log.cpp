#include "app/traffic_log.h"

#include <cstdio>
#include <memory>

#include "session/trace_text.h"

namespace qv31 {

void TrafficLog::OnLinkEvent(const LinkEvent& event) {
  if (paused_ || limit_ == 0) return;
  if (rows_.size() == limit_) {
    rows_.pop_front();
    ++dropped_;
  }
  rows_.push_back(
      {event.ms - epoch_, event.sent, event.fate, {event.bytes.begin(), event.bytes.end()}});
}

void TrafficLog::Clear() {
  dropped_ += rows_.size();
  rows_.clear();
}

std::string TrafficLog::Line(uint64_t index) const {
  const TrafficRow& r = Row(index);
  return TraceLine({r.ms, r.sent, r.bytes, r.fate}, 0);
}

bool TrafficLog::SaveText(const std::string& path) const {
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "w"),
                                                             &std::fclose);
  if (!file) return false;
  for (uint64_t i = FirstIndex(); i < EndIndex(); ++i) {
    const std::string line = Line(i) + "\n";
    if (std::fwrite(line.data(), 1, line.size(), file.get()) != line.size()) return false;
  }
  return std::fflush(file.get()) == 0;
}

}  // namespace qv31
