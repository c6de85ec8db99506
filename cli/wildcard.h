// Wildcard matching of one path component, as the POSIX file search does
// it: "*" matches any run of characters, "?" exactly one; every other
// character, "[" included, matches only itself, case for case.
#pragma once

#include <string_view>

namespace wzx {

bool matchWildcard(std::string_view pattern, std::string_view name);

}  // namespace wzx
