// Runs fuzz inputs through the targets without libFuzzer: a corpus
// directory, a folder of past findings or single crash files. Built in every
// test build, so each fixed crash stays an ordinary regression test, and the
// sanitizer build replays them under AddressSanitizer.
//
//   wzx_fuzz_replay TARGET PATH...
// TARGET is convert, decompress or roundtrip; each PATH is a file or a
// directory searched recursively (names starting with "." are skipped).
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/targets.h"

namespace {

namespace fs = std::filesystem;

using Target = int (*)(const uint8_t*, size_t);

struct NamedTarget {
    const char* name;
    Target run;
};

const NamedTarget kTargets[] = {
    {"convert", wzx::fuzz::convertInput},
    {"decompress", wzx::fuzz::decompressInput},
#ifdef WZX_FUZZ_ROUNDTRIP
    {"roundtrip", wzx::fuzz::roundTripInput},
#endif
};

bool hidden(const fs::path& p) {
    return p.filename().string().rfind('.', 0) == 0;
}

// Every input file a path names, sorted so that runs are repeatable.
bool collect(const fs::path& path, std::vector<fs::path>& files) {
    std::error_code ec;
    if (fs::is_regular_file(path, ec)) {
        files.push_back(path);
        return true;
    }
    if (!fs::is_directory(path, ec)) return false;
    std::vector<fs::path> found;
    for (const auto& e : fs::recursive_directory_iterator(path, ec)) {
        if (e.is_regular_file() && !hidden(e.path())) found.push_back(e.path());
    }
    std::sort(found.begin(), found.end());
    files.insert(files.end(), found.begin(), found.end());
    return !ec;
}

std::vector<uint8_t> load(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc < 3) {
        std::fputs("usage: wzx_fuzz_replay TARGET PATH...\n", stderr);
        return 2;
    }
    const NamedTarget* target = nullptr;
    for (const NamedTarget& t : kTargets)
        if (std::strcmp(t.name, argv[1]) == 0) target = &t;
    if (!target) {
        std::fprintf(stderr, "unknown target %s\n", argv[1]);
        return 2;
    }
    std::vector<fs::path> files;
    for (int i = 2; i < argc; ++i) {
        if (!collect(argv[i], files)) {
            std::fprintf(stderr, "%s: no such file or directory\n", argv[i]);
            return 2;
        }
    }
    if (files.empty()) {
        std::fputs("no inputs found\n", stderr);
        return 2;
    }
    size_t skipped = 0;
    for (const fs::path& f : files) {
        // Named first, so that a crash report follows the name of its input.
        std::printf("%s\n", f.string().c_str());
        std::fflush(stdout);
        std::vector<uint8_t> bytes = load(f);
        // Like libFuzzer, hand over a buffer that ends exactly at the input's end.
        std::unique_ptr<uint8_t[]> exact(new uint8_t[bytes.size()]);
        std::copy(bytes.begin(), bytes.end(), exact.get());
        if (target->run(exact.get(), bytes.size()) != 0) ++skipped;
    }
    std::printf("%zu inputs replayed through %s, %zu of them skipped by the target\n", files.size(),
                target->name, skipped);
    return 0;
}
