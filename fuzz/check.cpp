// The one way a fuzz target reports a broken invariant: a message on
// standard error, then abort, which libFuzzer and the replay both notice.
#include <cstdio>
#include <cstdlib>

#include "fuzz/targets.h"

namespace wzx::fuzz {

void check(bool ok, const char* target, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "fuzz target %s: invariant broken: %s\n", target, what);
    std::abort();
}

}  // namespace wzx::fuzz
