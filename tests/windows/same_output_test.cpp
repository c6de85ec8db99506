// The Windows program under Wine and this platform's program, run on the
// same inputs, must leave the same files byte for byte, end with the same
// status and print the same text but for the console's line ends.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/run_program.h"
#include "support/wzx_builder.h"

namespace wzx::test {
namespace {

namespace fs = std::filesystem;

// Deterministic filler, so that the channel data exercises every byte value
// and the compressed streams every kind of token, well formed or not.
Bytes noise(size_t n, uint32_t seed) {
    Bytes b(n);
    for (uint8_t& v : b) {
        seed = seed * 1664525u + 1013904223u;
        v = static_cast<uint8_t>(seed >> 24);
    }
    return b;
}

// An image whose every channel chunk is made by one function.
Bytes image(uint8_t colours, int32_t w, int32_t h, int32_t bh,
            Bytes (*chunk)(size_t bytes, uint32_t seed), uint8_t mark) {
    Bytes b = imageStart(colours, w, h, bh);
    uint32_t seed = 1;
    for (int32_t top = 0; top < h; top += bh) {
        int32_t rows = h - top < bh ? h - top : bh;
        for (int c = 0; c < colours; ++c)
            appendChunk(b, mark, chunk(static_cast<size_t>(w) * rows, seed++));
    }
    return b;
}

Bytes stored(size_t n, uint32_t seed) {
    return noise(n, seed);
}
Bytes literalRun(size_t n, uint32_t seed) {
    return literals(noise(n, seed));
}
Bytes garbage(size_t n, uint32_t seed) {
    return noise(n / 2 + 3, seed);
}

struct Input {
    std::string name;
    Bytes bytes;
    bool makesBmp = true;  // false: refused before any output
};

std::vector<Input> inputs() {
    std::vector<Input> v = {
        {"stored24.wzx", image(3, 5, 7, 3, stored, 1)},
        {"stored32.wzx", image(4, 9, 4, 4, stored, 1)},
        {"literals24.wzx", image(3, 33, 17, 5, literalRun, 0)},
        {"literals32.wzx", image(4, 6, 9, 2, literalRun, 0)},
        {"garbled.wzx", image(3, 12, 10, 4, garbage, 0)},
        {"headers.wzx", imageStart(3, 7, 0, 1)},
        {"signature.wzx", {'W', 'Z', 'X', '4'}, false},
    };
    Bytes cut = image(4, 8, 8, 4, stored, 1);
    cut.resize(cut.size() - 20);
    v.push_back({"truncated.wzx", cut});
    // The project's own examples, where the checkout has them.
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(WZX_EXAMPLES_DIR, ec)) {
        if (e.path().extension() == ".wzx")
            v.push_back({e.path().filename().string(), readFile(e.path())});
    }
    return v;
}

std::string withCrLf(const std::string& text) {
    std::string out;
    for (char ch : text) {
        if (ch == '\n') out += '\r';
        out += ch;
    }
    return out;
}

TEST(SameOutput, BothProgramsLeaveTheSameFiles) {
    for (const Input& in : inputs()) {
        SCOPED_TRACE(in.name);
        ScratchDir posixDir, windowsDir;
        writeFile(posixDir / in.name, in.bytes);
        writeFile(windowsDir / in.name, in.bytes);
        RunResult posix = runProgram(WZX2BMP_POSIX_PROGRAM, {in.name}, {posixDir.path(), ""});
        RunOptions o{windowsDir.path(), ""};
        o.launcher = WZX2BMP_LAUNCHER;
        RunResult windows = runProgram(WZX2BMP_PROGRAM, {in.name}, o);
        EXPECT_EQ(windows.status, posix.status);
        EXPECT_EQ(windows.out, withCrLf(posix.out));
        EXPECT_EQ(windows.err, withCrLf(posix.err));
        std::vector<std::string> names = listDir(posixDir.path());
        std::string bmp = fs::path(in.name).replace_extension(".bmp").string();
        EXPECT_EQ(fs::exists(posixDir / bmp), in.makesBmp) << "the comparison needs outputs";
        ASSERT_EQ(listDir(windowsDir.path()), names);
        for (const std::string& name : names) {
            EXPECT_EQ(readFile(windowsDir / name), readFile(posixDir / name)) << name;
        }
    }
}

}  // namespace
}  // namespace wzx::test
