// Title splitting, character by character in the process's locale.
#include "cli/title.h"

#include "cli/multibyte.h"

namespace wzx {

std::string entryTitle(std::string_view name) {
    size_t end = name.size();
    for (size_t pos = 0; pos < name.size(); pos += characterLength(name, pos)) {
        if (name[pos] == '.' && characterLength(name, pos) == 1) end = pos;
    }
    size_t cut = 0;
    while (cut < end) {
        size_t len = characterLength(name, cut);
        if (cut + len > end || cut + len > kMaxTitleBytes) break;
        cut += len;
    }
    return std::string(name.substr(0, cut));
}

}  // namespace wzx
