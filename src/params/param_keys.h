#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "params/param_block.h"

namespace qv31 {

enum class ParamGroup : uint8_t { FourG, Port, Network };

// One field of the parameter groups under its command-line name ("4g.station", "port1.baud",
// "net.ch1.target", ...), in the order the tools list them.
struct ParamKey {
  std::string_view key;
  ParamGroup group;
  int port;  // 1 to 4 for ParamGroup::Port, else 0
  bool readOnly;
  std::string (*get)(const ParamBlock&, int port);
  int32_t (*set)(ParamBlock&, int port, std::string_view value);
};

std::span<const ParamKey> ParamKeys();
const ParamKey* FindParamKey(std::string_view key);

// A field's text as the window shows it: ticks as "on"/"off", list fields as their list text
// (empty for a code without an entry). nullopt for an unknown key.
std::optional<std::string> GetParamText(const ParamBlock& block, std::string_view key);

// Changes one field the way the window's group does it: the group is shown from the image,
// the one control is changed, and the group is read back into the image (so, for example,
// groupFlag follows the group number and netFlags keeps only its three bits). Texts go in as
// the window takes them, without range checks; ticks take "on" or "off", list fields one of
// their list texts. Returns -1 for an unknown or read-only key or a value a tick or a list
// cannot hold, else 1.
int32_t SetParamText(ParamBlock& block, std::string_view key, std::string_view value);

}  // namespace qv31
