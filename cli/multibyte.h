// Walking file names by character in the process's multibyte character set,
// so that the trailing byte of a double-byte character is never mistaken
// for "." or for a wildcard's single character.
#pragma once

#include <cstddef>
#include <string_view>

namespace wzx {

// Length in bytes of the character starting at s[pos] (pos < s.size()).
// A byte that starts no valid character counts as a character of its own.
size_t characterLength(std::string_view s, size_t pos);

}  // namespace wzx
