#include <algorithm>
#include <charconv>

#include "params/param_block.h"
#include "session/key_table.h"
#include "text/closest_name.h"
#include "text/gbk.h"

namespace qv31 {
namespace {

using K = ValueKind;

bool ParseDecimal(std::string_view text, int64_t& value) {
  if (text.empty()) return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size();
}

std::string JoinChoices(std::span<const std::string_view> choices) {
  std::string out;
  for (const auto& c : choices) {
    if (!out.empty()) out += ", ";
    out += '"';
    out += c;
    out += '"';
  }
  return out;
}

bool IsHostName(std::string_view text) {
  if (text.empty()) return false;
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u <= ' ' || c == ',' || c == '/' || u == 0x7F) return false;
  }
  // A text of digits and dots only is meant as an address.
  return text.find_first_not_of("0123456789.") != std::string_view::npos;
}

}  // namespace

bool IsDottedIpv4(std::string_view text) {
  int parts = 0;
  while (true) {
    const size_t dot = text.find('.');
    const std::string_view part = text.substr(0, dot);
    int64_t v = 0;
    if (part.size() > 3 || part.find_first_not_of("0123456789") != part.npos ||
        !ParseDecimal(part, v) || v > 255 || ++parts > 4) {
      return false;
    }
    if (dot == std::string_view::npos) return parts == 4;
    text.remove_prefix(dot + 1);
  }
}

std::optional<std::string> NormalizeValue(const CtlKey& key, std::string_view value,
                                          std::string& error) {
  const std::string name(key.name);
  switch (key.kind) {
    case K::ReadOnly:
      error = name + " is read only";
      return std::nullopt;
    case K::OnOff:
      if (value == "on" || value == "true") return std::string("on");
      if (value == "off" || value == "false") return std::string("off");
      error = name + " takes on or off, not \"" + std::string(value) + "\"";
      return std::nullopt;
    case K::Number: {
      int64_t v = 0;
      if (ParseDecimal(value, v) && v >= key.min && v <= key.max && v % key.step == 0) {
        return std::to_string(v);
      }
      error = name + " takes a whole number from " + std::to_string(key.min) + " to " +
              std::to_string(key.max) +
              (key.step > 1 ? " in steps of " + std::to_string(key.step) : std::string()) +
              ", not \"" + std::string(value) + "\"";
      return std::nullopt;
    }
    case K::Choice:
      for (const auto& c : key.choices) {
        if (c == value) return std::string(value);
      }
      error = name + " takes one of " + JoinChoices(key.choices) + ", not \"" + std::string(value) +
              "\"";
      return std::nullopt;
    case K::Ipv4:
      if (IsDottedIpv4(value)) return std::string(value);
      error = name + " takes an IPv4 address a.b.c.d, not \"" + std::string(value) + "\"";
      return std::nullopt;
    case K::Ipv4OrHost:
      if (IsDottedIpv4(value)) return std::string(value);
      if (IsHostName(value) && !FitsGbk(value)) {
        error = name + " takes a host name the gateway can hold: \"" + std::string(value) +
                "\" has characters that GBK cannot encode";
        return std::nullopt;
      }
      if (IsHostName(value) && Utf8ToGbk(value).size() <= static_cast<size_t>(DOMAIN_MAX)) {
        return std::string(value);
      }
      error = name + " takes an IPv4 address a.b.c.d or a host name of at most " +
              std::to_string(DOMAIN_MAX) + " GBK bytes without blanks, not \"" +
              std::string(value) + "\"";
      return std::nullopt;
  }
  return std::nullopt;
}

std::string UnknownKey(std::string_view name) {
  static const auto names = [] {
    std::vector<std::string_view> list;
    for (const CtlKey& k : CtlKeys()) list.push_back(k.name);
    return list;
  }();
  return "unknown key " + std::string(name) + DidYouMean(name, names);
}

std::optional<std::vector<Assignment>> ParseAssignments(const std::vector<std::string>& args,
                                                        std::string& error) {
  std::vector<Assignment> out;
  for (const std::string& arg : args) {
    const size_t eq = arg.find('=');
    const CtlKey* k = eq == std::string::npos ? nullptr : FindCtlKey(arg.substr(0, eq));
    if (k == nullptr) {
      error = eq == std::string::npos ? "set takes KEY=VALUE, not \"" + arg + "\""
                                      : UnknownKey(std::string_view(arg).substr(0, eq));
      return std::nullopt;
    }
    // Which of two values was meant cannot be known.
    if (std::any_of(out.begin(), out.end(), [k](const Assignment& a) { return a.key == k; })) {
      error = std::string(k->name) + " is given twice";
      return std::nullopt;
    }
    auto value = NormalizeValue(*k, std::string_view(arg).substr(eq + 1), error);
    if (!value) return std::nullopt;
    out.push_back({k, std::move(*value)});
  }
  return out;
}

}  // namespace qv31
