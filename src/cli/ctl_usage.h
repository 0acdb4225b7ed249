#pragma once

#include <span>
#include <string>
#include <string_view>

namespace qv31 {

// One option of qv31ctl: the parser's names and the --help text come from this table.
struct CtlOptionSpec {
  std::string_view name;   // "--udp"
  std::string_view value;  // the value's placeholder in --help; empty for a flag
  int depth;               // 1 for the serial line's details, listed under --serial
  std::string help;        // lines after the first start with '\n'; empty: not listed alone
};

std::span<const CtlOptionSpec> CtlOptionSpecs();
// The spec of an option as typed ("--udp", "--udp=HOST"), or nullptr.
const CtlOptionSpec* FindCtlOption(std::string_view arg);
std::span<const std::string_view> CtlOptionNames();

// The commands qv31ctl knows, in the order --help lists them.
std::span<const std::string_view> CtlCommandNames();

}  // namespace qv31
