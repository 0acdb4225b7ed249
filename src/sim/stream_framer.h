#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace qv31 {

// A line that stays quiet this long ends whatever partial frame it left behind.
constexpr uint64_t STREAM_STALL_MS = 200;

// Finds frames in a byte stream (serial line, pseudo-terminal), where reads cut the bytes
// anywhere. A frame starts with the preamble; its size follows from the header: 16 bytes,
// plus the length field for the payload-carrying opcodes (write, read reply). A candidate
// whose length cannot fit a link buffer, or whose CRC fails, was a false preamble (garbage,
// or preamble bytes inside a payload seen out of step): one byte is skipped and the search
// starts again, so a real frame hidden behind it is still found.
class StreamFramer {
 public:
  explicit StreamFramer(uint64_t stallMs = STREAM_STALL_MS) : stallMs_(stallMs) {}

  // Appends bytes read at `nowMs` (any monotonic millisecond count).
  void Feed(std::span<const uint8_t> bytes, uint64_t nowMs);

  // The next complete frame whose CRC holds, or nothing yet. Call until it gives nothing.
  std::optional<std::vector<uint8_t>> Next(uint64_t nowMs);

  // Bytes thrown away as garbage so far.
  uint64_t SkippedBytes() const { return skipped_; }
  size_t BufferedBytes() const { return buffer_.size(); }

 private:
  void Skip(size_t count);

  uint64_t stallMs_;
  std::vector<uint8_t> buffer_;
  // Leading bytes of buffer_ that arrived before the line last went quiet.
  size_t staleBytes_ = 0;
  uint64_t lastFeedMs_ = 0;
  uint64_t skipped_ = 0;
};

}  // namespace qv31
