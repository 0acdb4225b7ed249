#include "sim/gateway_memory.h"

#include <algorithm>

#include "text/gbk.h"

namespace qv31 {
namespace {

struct AreaLayout {
  uint8_t area;
  uint16_t base;  // device address of the area's first byte
  uint16_t size;
  bool writable;
};

constexpr std::array<AreaLayout, 3> kAreas = {{
    {AREA_PARAMS, PARAM_BASE, PARAM_SIZE, true},
    {AREA_TABLE, 0, ACQ_IMAGE_SIZE, true},
    {AREA_IDENT, 0, IDENT_SIZE, false},
}};

const AreaLayout* FindArea(uint8_t area) {
  const auto it = std::find_if(kAreas.begin(), kAreas.end(),
                               [area](const AreaLayout& s) { return s.area == area; });
  return it == kAreas.end() ? nullptr : &*it;
}

// Indexed by Verdict.
constexpr std::array<std::string_view, 12> kVerdictTexts = {
    "answered",
    "too short for a frame",
    "longer than a link buffer",
    "bad CRC",
    "bad preamble",
    "unknown area",
    "not a read or write request",
    "frame size differs from its length field",
    "empty window",
    "window outside its area",
    "reply would not fit a link buffer",
    "area is read only",
};

}  // namespace

std::string_view VerdictText(Verdict verdict) {
  const auto i = static_cast<size_t>(verdict);
  return i < kVerdictTexts.size() ? kVerdictTexts[i] : "?";
}

std::span<uint8_t> GatewayMemory::AreaBytes(uint8_t area) {
  switch (area) {
    case AREA_PARAMS:
      return params_;
    case AREA_TABLE:
      return table_;
    case AREA_IDENT:
      return ident_;
    default:
      return {};
  }
}

std::span<const uint8_t> GatewayMemory::AreaBytes(uint8_t area) const {
  return const_cast<GatewayMemory*>(this)->AreaBytes(area);
}

void GatewayMemory::SetIdentityText(std::string_view utf8) {
  const std::string gbk = Utf8ToGbk(Utf8CutToGbkBytes(utf8, IDENT_SIZE));
  ident_.fill(0);
  std::copy_n(gbk.begin(), std::min(gbk.size(), ident_.size()), ident_.begin());
}

GatewayAnswer GatewayMemory::Answer(std::span<const uint8_t> frame) {
  GatewayAnswer answer;
  auto refuse = [&answer](Verdict v) {
    answer.verdict = v;
    return answer;
  };
  const auto size = static_cast<int32_t>(std::min<size_t>(frame.size(), LINK_BUFFER_SIZE + 1));
  if (size < REQUEST_MIN_SIZE) return refuse(Verdict::TooShort);
  if (size > LINK_BUFFER_SIZE) return refuse(Verdict::TooLong);
  const uint8_t* f = frame.data();
  if (!CheckFrameCrc(f, static_cast<uint16_t>(size - 2), f[size - 2], f[size - 1])) {
    return refuse(Verdict::BadCrc);
  }
  if (!std::equal(LinkPreamble.begin(), LinkPreamble.end(), f)) {
    return refuse(Verdict::BadPreamble);
  }
  // REQUEST_MIN_SIZE covers the header.
  answer.request = DecodeHeader(frame).value_or(FrameHeader{});
  const FrameHeader& h = answer.request;

  const AreaLayout* layout = FindArea(h.area);
  if (layout == nullptr) return refuse(Verdict::UnknownArea);
  if (h.opCode != OP_READ && h.opCode != OP_WRITE) return refuse(Verdict::NotARequest);
  const bool write = h.opCode == OP_WRITE;
  // A stray 0x00 behind a frame keeps its CRC valid, so the size is checked on its own.
  if (size != REQUEST_MIN_SIZE + (write ? h.length : 0)) return refuse(Verdict::SizeMismatch);
  if (write && !layout->writable) return refuse(Verdict::ReadOnly);
  if (h.length == 0) return refuse(Verdict::EmptyWindow);
  if (h.address < layout->base || h.address + h.length > layout->base + layout->size) {
    return refuse(Verdict::OutsideArea);
  }
  const std::span<uint8_t> window = AreaBytes(h.area).subspan(h.address - layout->base, h.length);
  if (write) {
    std::copy_n(f + FRAME_HEADER_SIZE, h.length, window.begin());
    answer.stored = true;
    answer.reply = EncodeFrame({h.area, OP_WRITE_ACK, h.address, h.length});
  } else {
    if (h.length > FRAME_PAYLOAD_MAX) return refuse(Verdict::ReplyTooLong);
    answer.reply = EncodeFrame({h.area, OP_READ_REPLY, h.address, h.length}, window);
  }
  answer.verdict = Verdict::Answered;
  return answer;
}

}  // namespace qv31
