// Out-of-memory ending through the global new handler, so that no
// exception ever escapes and no buffered output is flushed: the process is
// terminated without running exit handlers or library clean-up.
#include <windows.h>

#include <new>

#include "cli/abnormal_end.h"

namespace wzx {

namespace {

const char* volatile incompleteOutput = nullptr;

[[noreturn]] void endForLackOfMemory() {
    static const char message[] = "\r\nabnormal program termination\r\n";
    // The output is opened with delete sharing, so it can go while its
    // handle is still open; the system removes it when the process ends.
    if (const char* path = incompleteOutput) DeleteFileA(path);
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    DWORD written = 0;
    if (err != nullptr && err != INVALID_HANDLE_VALUE)
        WriteFile(err, message, sizeof message - 1, &written, nullptr);
    // ExitProcess, and so _exit, runs the C runtime's detach code, which
    // may flush its streams on the way out.
    TerminateProcess(GetCurrentProcess(), kOutOfMemoryStatus);
    for (;;) Sleep(INFINITE);  // not reached: TerminateProcess does not return for itself
}

}  // namespace

void installOutOfMemoryHandler() {
    std::set_new_handler(endForLackOfMemory);
}

void setIncompleteOutput(const char* path) {
    incompleteOutput = path;
}

}  // namespace wzx
