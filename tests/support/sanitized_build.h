// Whether this test program, and so the program under test built with the
// same flags, runs under AddressSanitizer: such a program cannot start
// under an address-space limit, so the memory-exhaustion cases skip there.
#pragma once

namespace wzx::test {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kSanitized = true;
#else
inline constexpr bool kSanitized = false;
#endif
#else
inline constexpr bool kSanitized = false;
#endif

}  // namespace wzx::test
