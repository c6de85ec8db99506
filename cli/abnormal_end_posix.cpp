// Out-of-memory ending through the global new handler, so that no
// exception ever escapes and no buffered output is flushed.
#include <unistd.h>

#include <new>

#include "cli/abnormal_end.h"

namespace wzx {

namespace {

const char* volatile incompleteOutput = nullptr;

[[noreturn]] void endForLackOfMemory() {
    static const char message[] = "\r\nabnormal program termination\r\n";
    if (const char* path = incompleteOutput) unlink(path);
    ssize_t ignored = write(STDERR_FILENO, message, sizeof message - 1);
    (void)ignored;
    _exit(kOutOfMemoryStatus);
}

}  // namespace

void installOutOfMemoryHandler() {
    std::set_new_handler(endForLackOfMemory);
}

void setIncompleteOutput(const char* path) {
    incompleteOutput = path;
}

}  // namespace wzx
