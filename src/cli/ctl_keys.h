#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "link/group_table.h"

namespace qv31 {

// A key belongs to one group of the gateway.
using KeyGroup = GroupId;

// What a key's values may be on the command line. The window takes any text; scripts get a
// refusal naming what is allowed instead, before anything is sent.
enum class ValueKind : uint8_t { ReadOnly, OnOff, Number, Choice, Ipv4, Ipv4OrHost };

struct CtlKey {
  std::string_view name;
  KeyGroup group;
  ValueKind kind;
  int64_t min = 0;  // Number: inclusive range and step
  int64_t max = 0;
  int64_t step = 1;
  std::span<const std::string_view> choices = {};  // Choice
};

// Every key in the order the tool prints them.
std::span<const CtlKey> CtlKeys();
const CtlKey* FindCtlKey(std::string_view name);

// The value in the form the images take it, or nullopt with `error` set to a message naming
// what is allowed.
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
