#pragma once

#include <cstdio>

#include "link/link_observer.h"

namespace qv31 {

// --trace: one TraceLine per block on `out`, flushed at once, the time counted from the
// clock's `sinceMs` (the moment the link opened).
class TracePrinter final : public LinkObserver {
 public:
  explicit TracePrinter(std::FILE* out, uint32_t sinceMs = 0) : out_(out), sinceMs_(sinceMs) {}
  void OnLinkEvent(const LinkEvent& event) override;
  void SetSince(uint32_t ms) { sinceMs_ = ms; }

 private:
  std::FILE* out_;
  uint32_t sinceMs_;
};

}  // namespace qv31
