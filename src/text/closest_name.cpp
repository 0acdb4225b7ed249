#include "text/closest_name.h"

#include <algorithm>
#include <vector>

namespace qv31 {
namespace {

// Optimal string alignment distance: Levenshtein plus the swap of two neighbours, the most
// common slip on a keyboard.
size_t EditDistance(std::string_view a, std::string_view b) {
  const size_t w = b.size() + 1;
  std::vector<size_t> d((a.size() + 1) * w);
  for (size_t i = 0; i <= a.size(); ++i) d[i * w] = i;
  for (size_t j = 0; j <= b.size(); ++j) d[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
      size_t best =
          std::min({d[(i - 1) * w + j] + 1, d[i * w + j - 1] + 1, d[(i - 1) * w + j - 1] + cost});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
        best = std::min(best, d[(i - 2) * w + j - 2] + 1);
      }
      d[i * w + j] = best;
    }
  }
  return d.back();
}

}  // namespace

std::string ClosestName(std::string_view typed, std::span<const std::string_view> known) {
  const size_t limit = std::clamp<size_t>(typed.size() / 3, 1, 3);
  std::string_view best;
  size_t bestDistance = limit + 1;
  for (const std::string_view name : known) {
    const size_t distance = EditDistance(typed, name);
    if (distance < bestDistance) {
      best = name;
      bestDistance = distance;
    }
  }
  return std::string(best);
}

std::string DidYouMean(std::string_view typed, std::span<const std::string_view> known) {
  const std::string name = ClosestName(typed, known);
  return name.empty() ? std::string() : " (did you mean " + name + "?)";
}

}  // namespace qv31
