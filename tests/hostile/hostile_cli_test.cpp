// Damaged and hostile inputs run through the built program: the message and
// exit status a user sees, the output left behind, and the child's peak
// memory and CPU time held to what the file itself can justify.
#include <sys/resource.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/run_program.h"
#include "support/sample_image.h"
#include "support/sanitized_build.h"
#include "support/wzx_builder.h"

namespace wzx::test {
namespace {

const std::string kProgram = WZX2BMP_PROGRAM;
const std::string kPrompt = "< hit enter key >\n";
const std::string kOutOfMemory = "\r\nabnormal program termination\r\n";

// Far above anything these small files need, far below a hang.
constexpr rlim_t kCpuSeconds = 5;
// What a case may use beyond converting a one-pixel image.
constexpr long kMemoryAllowanceKiB = 16 * 1024;
// Enough to start the program and convert small images, and far less than
// the gigabytes that the hostile headers claim.
constexpr rlim_t kAddressSpace = rlim_t{256} << 20;

Bytes cut(const Bytes& b, size_t size) {
    return Bytes(b.begin(), b.begin() + static_cast<long>(size));
}

Bytes withLe32(Bytes b, size_t at, int32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i));
    return b;
}

struct HostileCase {
    const char* name;
    Bytes file;
    std::string err;
    int status;
    std::optional<uint64_t> outputSize;  // nullopt: no x.bmp may be left
    std::optional<rlim_t> fileSizeLimit = std::nullopt;
    // Cases whose header claims gigabytes of buffers, which are really
    // acquired: they run only under an address-space limit, which a
    // sanitized program cannot start under.
    bool needsAddressLimit = false;
};

std::string damaged(const char* what, int block, int channel) {
    return "x.wzx: damaged data: " + std::string(what) + " (block " + std::to_string(block) +
           ", channel " + std::to_string(channel) + ")\n";
}

std::vector<HostileCase> hostileCases() {
    const SampleImage s = sampleImage(3);
    const uint64_t full = 54 + 20 * 5;  // stride 6 × 3 rounded up to 20, 5 rows
    const size_t sizeField = 1;
    auto chunk = [&s](uint64_t block, unsigned channel) {
        for (const ChunkSpan& c : s.chunks)
            if (c.block == block && c.channel == channel) return c;
        return ChunkSpan{};
    };
    Bytes twoEmptyBlocks = imageStart(3, 0, 2000000000, 1000000000);
    for (int i = 0; i < 6; ++i) appendStored(twoEmptyBlocks, {});
    const int32_t cap = static_cast<int32_t>(s.capacity);
    return {
        {"CutInSignature", cut(s.file, 5), "signature error", 1, std::nullopt},
        {"CutAtColourCount", cut(s.file, 11), "unsupported colors", 1, std::nullopt},
        {"CutInBlockHeight", cut(s.file, 20), "unsupported size", 1, std::nullopt},
        {"CutInChunkHeader", cut(s.file, chunk(1, 1).header + 2), damaged("input ends early", 1, 1),
         2, full},
        {"CutInLastChunk", cut(s.file, s.file.size() - 1), damaged("input ends early", 2, 2), 2,
         full},
        {"NegativeChunkSize", withLe32(s.file, chunk(0, 1).header + sizeField, -1),
         damaged("negative chunk size", 0, 1), 2, full},
        {"ChunkOneBeyondCapacity", withLe32(s.file, chunk(2, 0).header + sizeField, cap + 1),
         damaged("chunk larger than its buffer", 2, 0), 2, full},
        {"LargestChunkSize", withLe32(s.file, chunk(1, 2).header + sizeField, INT32_MAX),
         damaged("chunk larger than its buffer", 1, 2), 2, full},
        {"WidthZeroExpandsTooFar", withLe32(s.file, 12, 0),
         damaged("compressed chunk expands beyond its buffer", 0, 0), 2, 54},
        // 24 bytes claiming 2^31 - 1 empty rows: nothing to read or place.
        {"WidthZeroTallImage", imageHeader(3, 0, INT32_MAX, 1), damaged("input ends early", 0, 0),
         2, 54},
        // Two whole blocks of a billion empty rows each.
        {"WidthZeroTallBlocks", twoEmptyBlocks, "", 0, 54},
        // Some 40 GiB of rows repeating the zero row, cut by the file size.
        {"HeightClaimsGigabytes", withLe32(s.file, 16, INT32_MAX),
         "x.bmp: write error: File too large\n", 1, std::nullopt, rlim_t{1} << 20},
        // Three channel buffers of 4 GiB each.
        {"WidthClaimsGigabytes", withLe32(s.file, 12, INT32_MAX), kOutOfMemory, 3, std::nullopt,
         std::nullopt, true},
        // 28 bytes asking for 2 GiB of buffers and a 1 GiB row.
        {"WideRowClaimsGigabytes", imageStart(4, 1 << 28, 1, 1), kOutOfMemory, 3, std::nullopt,
         std::nullopt, true},
    };
}

void PrintTo(const HostileCase& c, std::ostream* os) {
    *os << c.name;
}

long onePixelPeakKiB() {
    ScratchDir dir;
    Bytes tiny = imageStart(3, 1, 1, 1);
    for (uint8_t v : {1, 2, 3}) appendStored(tiny, {v});
    writeFile(dir / "x.wzx", tiny);
    return runProgram(kProgram, {"x.wzx"}, {dir.path(), ""}).peakResidentKiB;
}

class HostileCli : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileCli, ReportsAndStaysBounded) {
    const HostileCase& c = GetParam();
    if (c.needsAddressLimit && kSanitized)
        GTEST_SKIP() << "a sanitized program cannot start under an address-space limit";
    static const long baselineKiB = onePixelPeakKiB();
    ScratchDir dir;
    writeFile(dir / "x.wzx", c.file);
    RunOptions o{dir.path(), ""};
    o.cpuSecondsLimit = kCpuSeconds;
    o.fileSizeLimit = c.fileSizeLimit;
    if (c.needsAddressLimit) o.addressSpaceLimit = kAddressSpace;
    RunResult r = runProgram(kProgram, {"x.wzx"}, o);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.out, c.status == 0 || c.status == 2 ? kPrompt : "");
    if (c.outputSize) {
        EXPECT_EQ(readFile(dir / "x.bmp").size(), *c.outputSize);
    } else {
        EXPECT_EQ(listDir(dir.path()), std::vector<std::string>{"x.wzx"});
    }
    EXPECT_LE(r.peakResidentKiB, baselineKiB + kMemoryAllowanceKiB)
        << "peak memory, a one-pixel image taking " << baselineKiB << " KiB";
}

INSTANTIATE_TEST_SUITE_P(Cases, HostileCli, ::testing::ValuesIn(hostileCases()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace wzx::test
