#include "transport/identity_probe.h"

#include <algorithm>
#include <array>

#include "link/accepted_replies.h"
#include "link/link_frame.h"
#include "text/gbk.h"

namespace qv31 {

std::vector<uint8_t> IdentityRequest() { return EncodeFrame({AREA_IDENT, OP_READ, 0, IDENT_SIZE}); }

std::optional<std::string> IdentityFromReply(std::span<const uint8_t> block) {
  if (block.size() != static_cast<size_t>(IDENTITY_REPLY_SIZE)) return std::nullopt;
  // ValidateBlock reads a link buffer with a zero tail.
  std::array<uint8_t, LINK_BUFFER_SIZE> buffer{};
  std::copy(block.begin(), block.end(), buffer.begin());
  const auto header = ValidateBlock(buffer.data(), IDENTITY_REPLY_SIZE);
  if (!header || *header != FrameHeader{AREA_IDENT, OP_READ_REPLY, 0, IDENT_SIZE}) {
    return std::nullopt;
  }
  return GbkFieldText(std::span(buffer).subspan(FRAME_HEADER_SIZE, IDENT_SIZE), IDENT_SIZE);
}

std::optional<std::string> FindIdentityReply(std::span<const uint8_t> bytes) {
  auto from = bytes.begin();
  for (;;) {
    from = std::search(from, bytes.end(), LinkPreamble.begin(), LinkPreamble.end());
    if (bytes.end() - from < IDENTITY_REPLY_SIZE) return std::nullopt;
    if (auto text = IdentityFromReply({from, from + IDENTITY_REPLY_SIZE})) return text;
    ++from;
  }
}

}  // namespace qv31
