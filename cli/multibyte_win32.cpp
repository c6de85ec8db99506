// Character lengths in the ANSI code page, the one FindFirstFileA and
// CreateFileA use for names: the C library's locale may name another.
#include <windows.h>

#include "cli/multibyte.h"

namespace wzx {

namespace {

// Length of a well-formed UTF-8 sequence at s[pos], else 1.
size_t utf8Length(std::string_view s, size_t pos) {
    unsigned char lead = static_cast<unsigned char>(s[pos]);
    size_t n = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 1;
    if (lead >= 0xF5 || n > s.size() - pos) return 1;
    for (size_t i = 1; i < n; ++i) {
        if ((static_cast<unsigned char>(s[pos + i]) & 0xC0) != 0x80) return 1;
    }
    return n;
}

}  // namespace

size_t characterLength(std::string_view s, size_t pos) {
    // The code page is fixed for the life of the process.
    static const UINT codePage = GetACP();
    if (codePage == CP_UTF8) return utf8Length(s, pos);
    // A lead byte with nothing after it, or a NUL, is a character of its own.
    bool lead = IsDBCSLeadByteEx(codePage, static_cast<BYTE>(s[pos])) != 0;
    if (lead && pos + 1 < s.size() && s[pos + 1] != '\0') return 2;
    return 1;
}

}  // namespace wzx
