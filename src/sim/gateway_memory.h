#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "acq/acq_table.h"
#include "link/accepted_replies.h"
#include "link/link_frame.h"
#include "params/param_block.h"

namespace qv31 {

// A request frame is at least a header and a CRC; a read request is exactly that.
constexpr int32_t REQUEST_MIN_SIZE = FRAME_HEADER_SIZE + FRAME_CRC_SIZE;
// No frame, request or reply, is longer than the link buffer.
constexpr int32_t FRAME_PAYLOAD_MAX = LINK_BUFFER_SIZE - REQUEST_MIN_SIZE;

// What the gateway made of one received frame.
enum class Verdict : uint8_t {
  Answered,  // a read answered, or a write stored and acknowledged
  TooShort,  // fewer bytes than a header and a CRC
  TooLong,   // more than a link buffer holds
  BadCrc,    // also any byte other than 0x00 behind a frame
  BadPreamble,
  UnknownArea,
  NotARequest,   // an opcode other than read or write
  SizeMismatch,  // bytes behind a frame, or a write payload that differs from its length field
  EmptyWindow,   // length 0
  OutsideArea,   // the window leaves its area
  ReplyTooLong,  // a read reply would not fit in a link buffer
  ReadOnly,      // a write to the identity text
};

// A short text for logs, e.g. "bad CRC".
std::string_view VerdictText(Verdict verdict);

struct GatewayAnswer {
  Verdict verdict = Verdict::TooShort;
  FrameHeader request;         // filled once CRC and preamble passed
  std::vector<uint8_t> reply;  // empty: no reply
  bool stored = false;         // an accepted write changed (or rewrote) memory
};

// The gateway's memory: parameter image (Area 1, device addresses 6 to 325), acquisition
// table (Area 2, 0 to 2047) and identity text (Area 3, 0 to 17, read only). Answer() takes
// exactly one received frame and gives at most one reply; anything it refuses leaves memory
// as it was.
class GatewayMemory {
 public:
  GatewayMemory() = default;

  GatewayAnswer Answer(std::span<const uint8_t> frame);

  // The bytes of an area (Area 1 from device address 6 on); empty for an unknown area.
  std::span<uint8_t> AreaBytes(uint8_t area);
  std::span<const uint8_t> AreaBytes(uint8_t area) const;

  // The identity text from UTF-8: GBK, cut to 18 bytes without splitting a character,
  // zero-padded.
  void SetIdentityText(std::string_view utf8);

  bool operator==(const GatewayMemory&) const = default;

 private:
  std::array<uint8_t, PARAM_SIZE> params_{};
  std::array<uint8_t, ACQ_IMAGE_SIZE> table_{};
  std::array<uint8_t, IDENT_SIZE> ident_{};
};

}  // namespace qv31
