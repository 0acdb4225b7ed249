#pragma once

#include <span>
#include <string>
#include <string_view>

namespace qv31 {

// The known name nearest to a mistyped one by edit distance (insertions, deletions,
// substitutions, and two neighbours swapped), when it is near enough to be a typo: at most a
// third of the typed length, and at least 1 and at most 3 edits. Empty when none is.
std::string ClosestName(std::string_view typed, std::span<const std::string_view> known);

// " (did you mean NAME?)" for ClosestName's answer, else "".
std::string DidYouMean(std::string_view typed, std::span<const std::string_view> known);

}  // namespace qv31
