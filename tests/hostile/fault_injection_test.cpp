// Faults injected around the built program: the output's file system
// refusing writes at chosen sizes, memory running out before and during a
// batch, inputs and outputs that cannot be opened, and a batch of five
// whose third entry fails. No file may be lost or left incomplete.
#include <sys/resource.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "decoder/container.h"
#include "support/run_program.h"
#include "support/sample_image.h"
#include "support/sanitized_build.h"
#include "support/wzx_builder.h"

namespace wzx::test {
namespace {

namespace fs = std::filesystem;

const std::string kProgram = WZX2BMP_PROGRAM;
const std::string kPrompt = "< hit enter key >\n";
const std::string kOutOfMemory = "\r\nabnormal program termination\r\n";

// What the library makes of a file, to compare the program's outputs with.
Bytes convertInMemory(const Bytes& file) {
    MemorySource in(file);
    MemorySink out;
    convertFile(in, out);
    return out.bytes();
}

// Appends a compressed chunk of n bytes of value v: one literal, then
// matches that repeat it, aimed at the ring position `r` tracks.
void appendRun(Bytes& file, uint32_t& r, uint8_t v, unsigned n) {
    ItemWriter w;
    w.literal(v);
    uint32_t start = r;
    for (unsigned left = n - 1; left > 0;) {
        unsigned len = std::min(left, 273u);
        if (left - len > 0 && left - len < 3) len = left - 3;
        w.match(start & 0xFFF, len);
        left -= len;
    }
    r += n;
    appendCompressed(file, w.bytes());
}

// 1000 × 700 pixels in blocks of 100 rows: 2 100 054 bytes of BMP, more
// than the writer gathers at once, from a 30 KB file.
constexpr uint64_t kLargeBmpSize = 54 + 3000 * 700;

Bytes largeImage() {
    Bytes f = imageStart(3, 1000, 700, 100);
    uint32_t r = 0;
    for (int block = 0; block < 7; ++block)
        for (int c = 0; c < 3; ++c) appendRun(f, r, static_cast<uint8_t>(block * 3 + c), 100000);
    return f;
}

TEST(FaultInjection, LargeImageIsWhole) {
    // The image the write failures below cut: valid, and of the size claimed.
    const Bytes image = largeImage();
    MemorySource in(image);
    MemorySink out;
    EXPECT_EQ(convertFile(in, out).status, ConvertStatus::converted);
    EXPECT_EQ(out.bytes().size(), kLargeBmpSize);
}

TEST(FaultInjection, WriteFailsAtEachStageOfTheOutput) {
    const Bytes image = largeImage();
    const Bytes whole = convertInMemory(image);
    const std::string refused = "big.bmp: write error: File too large\n";
    // The child's standard error is captured in a file, under the same
    // limit: with no byte allowed, the message cannot be written either.
    struct {
        const char* stage;
        rlim_t limit;
        int status;
        std::string err;
    } cases[] = {
        {"no byte", 0, 1, ""},
        {"inside the headers", 53, 1, refused},
        {"headers only", 54, 1, refused},
        {"inside the first gathered rows", 1 << 20, 1, refused},
        {"all but the last byte", kLargeBmpSize - 1, 1, refused},
        {"exactly enough", kLargeBmpSize, 0, ""},
    };
    for (const auto& c : cases) {
        ScratchDir dir;
        writeFile(dir / "big.wzx", image);
        RunOptions o{dir.path(), ""};
        o.fileSizeLimit = c.limit;
        RunResult r = runProgram(kProgram, {"big.wzx"}, o);
        EXPECT_EQ(r.status, c.status) << c.stage;
        EXPECT_EQ(r.err, c.err) << c.stage;
        if (c.status != 0) {
            EXPECT_EQ(r.out, "") << c.stage;
            EXPECT_EQ(listDir(dir.path()), std::vector<std::string>{"big.wzx"}) << c.stage;
        } else {
            EXPECT_EQ(r.out, kPrompt) << c.stage;
            EXPECT_TRUE(readFile(dir / "big.bmp") == whole) << c.stage << ": output differs";
        }
    }
}

// --- A batch of five ---------------------------------------------------------

// A different 2 × 2 image for each title, so that a mix-up shows.
Bytes batchImage(char title) {
    Bytes f = imageStart(3, 2, 2, 2);
    uint8_t v = static_cast<uint8_t>(title);
    appendStored(f, {v, 1, 2, v});
    appendStored(f, {3, v, v, 4});
    appendStored(f, {v, v, 5, 6});
    return f;
}

// A 4 × 1 image whose first chunk really holds 40 MiB of compressed data,
// all of it within the 64 MiB its block allows: the buffer for it grows as
// it is read, after the output has been opened.
Bytes hugeChunkImage() {
    Bytes f = imageStart(3, 8192, 1, 8192);
    const size_t size = size_t{40} << 20;
    appendChunkHeader(f, 0, static_cast<int32_t>(size));
    f.resize(f.size() + size, 0);  // flag bytes 0: literals of 0
    for (int c = 1; c < 3; ++c) appendStored(f, Bytes(8192, 0));
    return f;
}

struct BatchCase {
    const char* name;
    size_t failing;  // position in the search order of the entry that fails
    // Makes the failing entry fail, given the directory and its title.
    std::function<void(const fs::path&, char)> spoil;
    int status;
    std::function<std::string(char)> err;
    RunOptions limits;
    bool needsAddressLimit = false;
    bool continues = false;  // the entries after the failing one are converted
};

// The message for a failure that does not name the entry.
std::function<std::string(char)> fixed(const std::string& s) {
    return [s](char) { return s; };
}

std::vector<BatchCase> batchCases() {
    auto fopenError = fixed("fopen error\n");
    auto outOfMemory = fixed(kOutOfMemory);
    auto name = [](char t, const char* ext) { return std::string(1, t) + ext; };
    RunOptions none;
    RunOptions smallFiles;
    smallFiles.fileSizeLimit = 64 << 10;
    RunOptions lowMemory;
    lowMemory.addressSpaceLimit = rlim_t{128} << 20;
    RunOptions veryLowMemory;
    veryLowMemory.addressSpaceLimit = rlim_t{32} << 20;
    return {
        {"RefusedHeader", 2,
         [name](const fs::path& d, char t) {
             Bytes f = batchImage(t);
             f[0] = 'X';
             writeFile(d / name(t, ".wzx"), f);
         },
         1, fixed("signature error"), none},
        {"InputIsADirectory", 2,
         [name](const fs::path& d, char t) {
             fs::remove(d / name(t, ".wzx"));
             fs::create_directory(d / name(t, ".wzx"));
         },
         1, fopenError, none},
        {"OutputIsADirectory", 2,
         [name](const fs::path& d, char t) { fs::create_directory(d / name(t, ".bmp")); }, 1,
         fopenError, none},
        {"OutputIsTheInput", 2,
         [name](const fs::path& d, char t) {
             fs::create_symlink(name(t, ".wzx"), d / name(t, ".bmp"));
         },
         1,
         [name](char t) {
             return name(t, ".bmp") + ": is the input file itself; not overwritten\n";
         },
         none},
        {"WriteFails", 2,
         [name](const fs::path& d, char t) { writeFile(d / name(t, ".wzx"), largeImage()); }, 1,
         [name](char t) { return name(t, ".bmp") + ": write error: File too large\n"; },
         smallFiles},
        {"MemoryRunsOutBeforeTheBatch", 0,
         [name](const fs::path& d, char t) {
             writeFile(d / name(t, ".wzx"), imageStart(4, 1 << 26, 1, 1));
         },
         3, outOfMemory, lowMemory, true},
        {"MemoryRunsOutAtTheThird", 2,
         [name](const fs::path& d, char t) {
             writeFile(d / name(t, ".wzx"), imageStart(4, 1 << 26, 1, 1));
         },
         3, outOfMemory, lowMemory, true},
        {"MemoryRunsOutWhileWriting", 2,
         [name](const fs::path& d, char t) { writeFile(d / name(t, ".wzx"), hugeChunkImage()); }, 3,
         outOfMemory, veryLowMemory, true},
        {"DamagedGoesOn", 2,
         [name](const fs::path& d, char t) {
             Bytes f = batchImage(t);
             f.pop_back();
             writeFile(d / name(t, ".wzx"), f);
         },
         2,
         [name](char t) {
             return name(t, ".wzx") + ": damaged data: input ends early (block 0, channel 2)\n";
         },
         none, false, true},
    };
}

void PrintTo(const BatchCase& c, std::ostream* os) {
    *os << c.name;
}

class BatchOfFive : public ::testing::TestWithParam<BatchCase> {};

TEST_P(BatchOfFive, EarlierOutputsSurviveAndNothingIsLeftHalfWritten) {
    const BatchCase& c = GetParam();
    if (c.needsAddressLimit && kSanitized)
        GTEST_SKIP() << "a sanitized program cannot start under an address-space limit";
    ScratchDir dir;
    // The search runs over sub/, which nothing below touches, so its order
    // is fixed before the inputs are made; the inputs and outputs live in
    // the working directory.
    fs::create_directory(dir / "sub");
    const std::string titles = "abcde";
    for (char t : titles) writeFile(dir / "sub" / (std::string(1, t) + ".e"), {});
    std::vector<char> order;
    for (const std::string& n : readdirOrder(dir / "sub"))
        if (n.size() == 3 && n.substr(1) == ".e") order.push_back(n[0]);
    ASSERT_EQ(order.size(), 5u);
    for (char t : titles) writeFile(dir / (std::string(1, t) + ".wzx"), batchImage(t));
    const char failing = order[c.failing];
    c.spoil(dir.path(), failing);
    std::map<std::string, fs::file_type> before;
    for (const std::string& n : listDir(dir.path())) before[n] = fs::symlink_status(dir / n).type();

    RunOptions o = c.limits;
    o.workingDirectory = dir.path();
    RunResult r = runProgram(kProgram, {"sub/*.e"}, o);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.err, c.err(failing));
    EXPECT_EQ(r.out, c.status == 2 ? kPrompt : "");

    // Every entry before the failing one has its output, exactly as a lone
    // conversion gives it; no other output may exist unless the batch went on.
    std::map<std::string, fs::file_type> want = before;
    for (size_t i = 0; i < order.size(); ++i) {
        std::string bmp = std::string(1, order[i]) + ".bmp";
        if (i < c.failing || (c.continues && i > c.failing)) {
            want[bmp] = fs::file_type::regular;
            EXPECT_TRUE(readFile(dir / bmp) == convertInMemory(batchImage(order[i])))
                << bmp << " differs from its lone conversion";
        }
        if (c.continues && i == c.failing) want[bmp] = fs::file_type::regular;
    }
    std::map<std::string, fs::file_type> have;
    for (const std::string& n : listDir(dir.path())) have[n] = fs::symlink_status(dir / n).type();
    EXPECT_EQ(have, want) << "files left in the working directory";
}

INSTANTIATE_TEST_SUITE_P(Cases, BatchOfFive, ::testing::ValuesIn(batchCases()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace wzx::test
