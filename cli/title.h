// An entry's title: the name the input and output files are named after.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace wzx {

inline constexpr size_t kMaxTitleBytes = 255;

// The bare entry name up to, not including, its last "."; the whole name
// when it has none. Cut to at most 255 bytes, never inside a character.
std::string entryTitle(std::string_view name);

}  // namespace wzx
