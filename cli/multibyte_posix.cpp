// Character lengths through the C library's current LC_CTYPE locale.
#include "cli/multibyte.h"

#include <cwchar>

namespace wzx {

size_t characterLength(std::string_view s, size_t pos) {
    std::mbstate_t state{};
    size_t n = std::mbrlen(s.data() + pos, s.size() - pos, &state);
    // (size_t)-1: invalid, (size_t)-2: incomplete, 0: a NUL byte.
    if (n == static_cast<size_t>(-1) || n == static_cast<size_t>(-2) || n == 0) return 1;
    return n;
}

}  // namespace wzx
