// Iterative wildcard matching with one backtrack point for the last "*".
#include "cli/wildcard.h"

#include "cli/multibyte.h"

namespace wzx {

bool matchWildcard(std::string_view pattern, std::string_view name) {
    size_t p = 0, n = 0;
    // Where to resume after the most recent "*": that star's pattern end,
    // and the name position it currently swallows up to.
    size_t starPattern = std::string_view::npos, starName = 0;
    while (n < name.size()) {
        size_t nameLen = characterLength(name, n);
        if (p < pattern.size()) {
            size_t patLen = characterLength(pattern, p);
            if (patLen == 1 && pattern[p] == '*') {
                starPattern = ++p;
                starName = n;
                continue;
            }
            bool single = patLen == 1 && pattern[p] == '?';
            if (single || pattern.substr(p, patLen) == name.substr(n, nameLen)) {
                p += patLen;
                n += nameLen;
                continue;
            }
        }
        if (starPattern == std::string_view::npos) return false;
        // Let the last star swallow one more character and try again.
        starName += characterLength(name, starName);
        n = starName;
        p = starPattern;
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

}  // namespace wzx
