#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "link/link_observer.h"

namespace qv31 {

// One block of the traffic record.
struct TrafficRow {
  uint32_t ms;  // since the link opened
  bool sent;
  BlockFate fate;
  std::vector<uint8_t> bytes;
};

// The traffic monitor's record: every block the engine sent or received, the oldest rows
// dropped past a limit so that a day's session cannot grow it without bound. Rows are
// numbered from the start of the record: Row(FirstIndex()) is the oldest kept.
class TrafficLog final : public LinkObserver {
 public:
  static constexpr size_t DEFAULT_ROW_LIMIT = 10000;
  explicit TrafficLog(size_t rowLimit = DEFAULT_ROW_LIMIT) : limit_(rowLimit) {}

  void OnLinkEvent(const LinkEvent& event) override;

  // Times count from here (the moment the link opened).
  void SetEpoch(uint32_t ms) { epoch_ = ms; }
  // While paused, blocks are not recorded.
  void SetPaused(bool paused) { paused_ = paused; }
  bool Paused() const { return paused_; }
  void Clear();

  uint64_t FirstIndex() const { return dropped_; }
  uint64_t EndIndex() const { return dropped_ + rows_.size(); }
  size_t Size() const { return rows_.size(); }
  // Row `index` (FirstIndex() <= index < EndIndex()).
  const TrafficRow& Row(uint64_t index) const { return rows_[index - dropped_]; }
  // The row as one line of text, as the command line's trace prints it.
  std::string Line(uint64_t index) const;

  // Writes every kept row as a line (UTF-8, LF); false when the file cannot be written.
  bool SaveText(const std::string& path) const;

 private:
  size_t limit_;
  std::deque<TrafficRow> rows_;
  uint64_t dropped_ = 0;
  uint32_t epoch_ = 0;
  bool paused_ = false;
};

}  // namespace qv31
