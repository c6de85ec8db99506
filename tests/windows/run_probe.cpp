// A Windows parent for the program under test: holds files open the way
// another process might, runs the program, and prints the exit code as a
// Windows parent sees it (32 bits, where Wine passes on only the low 8).
//   run_probe [--hold FILE none|rw]... -- PROGRAM [ARGS...]
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Opens FILE for reading and writing; "rw" lets others read and write it too.
HANDLE hold(const char* path, const char* mode) {
    DWORD share = std::strcmp(mode, "rw") == 0 ? FILE_SHARE_READ | FILE_SHARE_WRITE : 0;
    return CreateFileA(path, GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_EXISTING, 0,
                       nullptr);
}

// The arguments in this test never hold quotes; blanks are quoted.
std::string commandLine(int argc, char** argv, int first) {
    std::string line;
    for (int i = first; i < argc; ++i) {
        std::string a = argv[i];
        if (!line.empty()) line += ' ';
        line += a.empty() || a.find(' ') != std::string::npos ? '"' + a + '"' : a;
    }
    return line;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<HANDLE> held;
    int i = 1;
    for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        HANDLE h = INVALID_HANDLE_VALUE;
        if (std::strcmp(argv[i], "--hold") == 0 && i + 2 < argc) {
            h = hold(argv[i + 1], argv[i + 2]);
            i += 2;
        }
        if (h == INVALID_HANDLE_VALUE) {
            std::fprintf(stderr, "run_probe: cannot prepare %s (error %lu)\n", argv[i],
                         GetLastError());
            return 120;
        }
        held.push_back(h);
    }
    if (i + 1 >= argc) return 121;
    std::string line = commandLine(argc, argv, i + 1);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si,
                        &pi))
        return 122;
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    for (HANDLE h : held) CloseHandle(h);
    std::fflush(stdout);
    std::printf("exit code 0x%08lX\n", code);
    return static_cast<int>(code);
}
