// Feeds an arbitrary byte stream, cut at arbitrary points and times, to the stream framer:
// no crash, every frame it yields passes the CRC and preamble check, and it never holds more
// than a frame's worth of bytes beyond the last read.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "link/link_frame.h"
#include "sim/stream_framer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qv31::StreamFramer framer;
  uint64_t now = 0;
  size_t at = 0;
  while (at < size) {
    // Each chunk: one control byte (length and pause), then the bytes.
    const uint8_t control = data[at++];
    const size_t n = std::min<size_t>(control & 0x3F, size - at);
    now += (control >> 6) * 100;
    framer.Feed(std::span<const uint8_t>(data + at, n), now);
    at += n;
    while (auto frame = framer.Next(now)) {
      if (!qv31::ValidateBlock(frame->data(), static_cast<int32_t>(frame->size()))) std::abort();
    }
    if (framer.BufferedBytes() > static_cast<size_t>(qv31::LINK_BUFFER_SIZE) + 64) std::abort();
  }
  return 0;
}
