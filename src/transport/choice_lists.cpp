#include "transport/choice_lists.h"

#include <algorithm>

namespace qv31 {
namespace {

template <typename Text>
int32_t FindText(std::span<const Text> items, std::string_view text) {
  if (items.empty()) return -1;
  const auto it = std::find_if(items.begin(), items.end(),
                               [&](const Text& item) { return std::string_view(item) == text; });
  return it == items.end() ? 0 : static_cast<int32_t>(it - items.begin());
}

}  // namespace

int32_t SelectComboText(std::span<const std::string> items, std::string_view text) {
  return FindText(items, text);
}

int32_t SelectComboText(std::span<const std::string_view> items, std::string_view text) {
  return FindText(items, text);
}

}  // namespace qv31
