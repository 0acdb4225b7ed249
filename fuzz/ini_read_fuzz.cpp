// Reads keys from arbitrary INI bytes, writes one, and checks that the write changed exactly
// the key it named.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "settings/ini_text.h"

namespace {

// "系统", "其他" and "串口号" in GBK.
constexpr std::string_view kSections[] = {"\xCF\xB5\xCD\xB3", "\xC6\xE4\xCB\xFB", "a"};
constexpr std::string_view kKeys[] = {"\xB4\xAE\xBF\xDA\xBA\xC5", "k", "K"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view file(reinterpret_cast<const char*>(data), size);
  const std::string_view section = kSections[size % 3];
  const std::string_view key = kKeys[(size / 3) % 3];
  const std::string_view value = size % 2 ? " v \"" : "x=y";
  const qv31::IniEntry entry{key, value};
  const std::string updated = qv31::IniReplace(file, section, {&entry, 1});
  if (qv31::IniLookup(updated, section, key) != std::optional<std::string_view>(value)) {
    std::abort();
  }
  for (std::string_view s : kSections) {
    for (std::string_view k : kKeys) {
      const bool sameKey = s == section && (k == key || (k.size() == 1 && key.size() == 1));
      if (!sameKey && qv31::IniLookup(updated, s, k) != qv31::IniLookup(file, s, k)) std::abort();
    }
  }
  return 0;
}
