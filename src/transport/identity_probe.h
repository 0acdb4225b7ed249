#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qv31 {

// The identity read (Area 3, read, address 0, length 18) is the one frame a search sends: it
// changes nothing on a gateway and every gateway answers it, even during its handshake.
std::vector<uint8_t> IdentityRequest();

// A whole identity reply: header, 18 text bytes, CRC.
constexpr int32_t IDENTITY_REPLY_SIZE = 34;

// The identity text (UTF-8, up to the first zero, at most 18 GBK bytes) of a block that is
// exactly one identity reply with a valid CRC; nothing for anything else.
std::optional<std::string> IdentityFromReply(std::span<const uint8_t> block);

// The first identity reply inside bytes read from a line, where noise may come before or
// after it; nothing when there is none with a valid CRC.
std::optional<std::string> FindIdentityReply(std::span<const uint8_t> bytes);

}  // namespace qv31
