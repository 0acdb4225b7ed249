#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "acq/acq_grid.h"
#include "link/group_table.h"
#include "params/param_block.h"

namespace qv31 {

// A key belongs to one group of the gateway.
using KeyGroup = GroupId;

// What a key's values may be on the command line. The window takes any text; scripts get a
// refusal naming what is allowed instead, before anything is sent.
enum class ValueKind : uint8_t { ReadOnly, OnOff, Number, Choice, Ipv4, Ipv4OrHost };

// What a key's text is read from.
struct KeySources {
  const ParamBlock& params;
  const AcqGrid& grid;
  std::string_view identity;
};

// One field under its command-line name ("4g.station", "port1.baud", "acq.enable", ...):
// its group, what values it takes and how it is read from and written to the images. Fields
// of the parameter image go through their group's controls the way the window's group does
// it (the group is shown, the one control changed, the group read back), so, for example,
// groupFlag follows the group number and netFlags keeps only its three bits.
struct CtlKey {
  std::string_view name;
  KeyGroup group;
  ValueKind kind;
  int64_t min = 0;  // Number: inclusive range and step
  int64_t max = 0;
  int64_t step = 1;
  std::span<const std::string_view> choices = {};  // Choice
  // The text as the window shows it: ticks as "on"/"off", list fields as their list text
  // (empty for a code without an entry).
  std::string (*get)(const CtlKey& key, const KeySources& from) = nullptr;
  // Takes the text as the window's control does, without range checks; ticks take "on" or
  // "off", list fields one of their texts. -1 for a value the control cannot hold, else 1.
  int32_t (*set)(const CtlKey& key, ParamBlock& params, AcqGrid& grid,
                 std::string_view value) = nullptr;
};

// Every key in the order the tool prints them.
std::span<const CtlKey> CtlKeys();

// "unknown key NAME", with the nearest known key when one is close.
std::string UnknownKey(std::string_view name);
const CtlKey* FindCtlKey(std::string_view name);

// 1 to 4 for the keys of a gateway port, else 0.
int PortOf(KeyGroup group);

std::string GetKeyText(const CtlKey& key, const KeySources& from);
// -1 for a read-only key or a value the control cannot hold, else 1.
int32_t SetKeyText(const CtlKey& key, ParamBlock& params, AcqGrid& grid, std::string_view value);
// Shows a parameter group's controls and reads them back unchanged, as every key of the group
// does around its one change; the bytes this alters are the group's own normalisation, not a
// key's value. Nothing for the groups without controls of their own.
void RoundTripGroup(KeyGroup group, ParamBlock& params);

// The value in the form the images take it ("true"/"false" become "on"/"off"), or nullopt
// with `error` set to a message naming what is allowed.
std::optional<std::string> NormalizeValue(const CtlKey& key, std::string_view value,
                                          std::string& error);

struct Assignment {
  const CtlKey* key;
  std::string value;  // normalized
};

// The KEY=VALUE arguments of set, each key known, writable, given once and its value
// allowed; nullopt with `error` naming the first argument refused.
std::optional<std::vector<Assignment>> ParseAssignments(const std::vector<std::string>& args,
                                                        std::string& error);

// Strict dotted IPv4: four decimal numbers 0 to 255, nothing else.
bool IsDottedIpv4(std::string_view text);

}  // namespace qv31
