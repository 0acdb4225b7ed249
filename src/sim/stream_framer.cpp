#include "sim/stream_framer.h"

#include <algorithm>

#include "sim/gateway_memory.h"

namespace qv31 {
namespace {

bool CarriesPayload(uint8_t opCode) { return opCode == OP_WRITE || opCode == OP_READ_REPLY; }

// Start of the first full preamble, or of the longest tail that could begin one.
size_t PreambleStart(const std::vector<uint8_t>& bytes) {
  const auto it = std::search(bytes.begin(), bytes.end(), LinkPreamble.begin(), LinkPreamble.end());
  if (it != bytes.end()) return static_cast<size_t>(it - bytes.begin());
  for (size_t keep = std::min(bytes.size(), LinkPreamble.size() - 1); keep > 0; --keep) {
    if (std::equal(bytes.end() - static_cast<ptrdiff_t>(keep), bytes.end(), LinkPreamble.begin())) {
      return bytes.size() - keep;
    }
  }
  return bytes.size();
}

}  // namespace

void StreamFramer::Feed(std::span<const uint8_t> bytes, uint64_t nowMs) {
  if (bytes.empty()) return;
  if (nowMs - lastFeedMs_ >= stallMs_) staleBytes_ = buffer_.size();
  lastFeedMs_ = nowMs;
  buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

void StreamFramer::Skip(size_t count) {
  count = std::min(count, buffer_.size());
  buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<ptrdiff_t>(count));
  staleBytes_ -= std::min(staleBytes_, count);
  skipped_ += count;
}

std::optional<std::vector<uint8_t>> StreamFramer::Next(uint64_t nowMs) {
  if (nowMs - lastFeedMs_ >= stallMs_) staleBytes_ = buffer_.size();
  while (!buffer_.empty()) {
    Skip(PreambleStart(buffer_));
    if (buffer_.empty()) break;
    size_t size = REQUEST_MIN_SIZE;
    const auto header = DecodeHeader(buffer_);
    if (header && CarriesPayload(header->opCode)) {
      const size_t length = header->length;
      if (length > static_cast<size_t>(FRAME_PAYLOAD_MAX)) {
        Skip(1);
        continue;
      }
      size += length;
    }
    if (buffer_.size() < size) {
      // Incomplete: wait for more, unless the line went quiet since it began.
      if (staleBytes_ == 0) return std::nullopt;
      Skip(1);
      continue;
    }
    const uint8_t* f = buffer_.data();
    const auto covered = static_cast<uint16_t>(size - FRAME_CRC_SIZE);
    if (!CheckFrameCrc(f, covered, f[covered], f[covered + 1])) {
      Skip(1);
      continue;
    }
    std::vector<uint8_t> frame(buffer_.begin(), buffer_.begin() + static_cast<ptrdiff_t>(size));
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<ptrdiff_t>(size));
    staleBytes_ -= std::min(staleBytes_, size);
    return frame;
  }
  return std::nullopt;
}

}  // namespace qv31
