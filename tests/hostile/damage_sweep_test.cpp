// Systematic damage, in process: valid images (hand-made and encoded) cut at
// every byte, each chunk size field and each header field set to its
// boundary values. Every case
// must end in the documented verdict, and a damaged image must still give
// a full-length output whose rows before the damage are exact.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bmp/bmp_writer.h"
#include "decoder/container.h"
#include "support/sample_image.h"
#include "support/wzx_builder.h"
#include "tools/picture_gen.h"
#include "tools/wzx_encoder.h"

namespace wzx {
namespace {

using test::Bytes;
using test::SampleImage;

// Stands in for a file system that fills up: refuses any write reaching
// past kLimit, so that a header claiming gigabytes of output ends in
// outputFailed instead of in an exhausted test machine.
class BoundedSink : public ByteSink {
  public:
    static constexpr uint64_t kLimit = uint64_t{16} << 20;
    bool writeAt(uint64_t offset, const uint8_t* src, size_t n) override {
        ++writeCalls;
        if (offset > kLimit || n > kLimit - offset) return false;
        return memory.writeAt(offset, src, n);
    }
    MemorySink memory;
    size_t writeCalls = 0;
};

struct Outcome {
    ConvertResult result;
    Bytes output;
    size_t writeCalls = 0;
};

Outcome convert(const Bytes& file) {
    MemorySource in(file);
    BoundedSink out;
    Outcome o;
    o.result = convertFile(in, out);
    o.output = out.memory.bytes();
    o.writeCalls = out.writeCalls;
    return o;
}

const char* statusName(ConvertStatus status) {
    switch (status) {
        case ConvertStatus::converted:
            return "converted";
        case ConvertStatus::damaged:
            return "damaged";
        case ConvertStatus::badSignature:
            return "signature error";
        case ConvertStatus::unsupportedColours:
            return "unsupported colors";
        case ConvertStatus::unsupportedSize:
            return "unsupported size";
        case ConvertStatus::outputFailed:
            return "output failed";
    }
    return "unknown status";
}

// One line for a result, so that have/want read side by side.
std::string describe(const ConvertResult& r) {
    std::string s = statusName(r.status);
    if (r.damage.what != Damage::none) {
        s += std::string(" / ") + damageText(r.damage.what) + " at block " +
             std::to_string(r.damage.block) + " channel " + std::to_string(r.damage.channel);
    }
    return s;
}

ConvertResult damagedAt(Damage what, uint64_t block, unsigned channel) {
    return {ConvertStatus::damaged, {what, block, channel}};
}

ConvertResult plain(ConvertStatus status) {
    return {status, {}};
}

void setLe32(Bytes& b, size_t at, int32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i));
}

// Chunk position in file order, to compare where damage is reported.
uint64_t chunkIndex(uint64_t block, unsigned channel, unsigned colours) {
    return block * colours + channel;
}

// A row of the output as placed bottom-up; `stride` and `height` as written.
Bytes rowOf(const Bytes& bmp, uint64_t stride, uint64_t height, uint64_t y) {
    size_t at = static_cast<size_t>(kBmpHeaderSize + (height - 1 - y) * stride);
    return Bytes(bmp.begin() + static_cast<long>(at), bmp.begin() + static_cast<long>(at + stride));
}

// The shape every accepted image's output must have: full length, and when
// damaged, copies of the last good row from the damaged block on. Rows of
// the blocks before both the damage and the first `unchangedBlocks` blocks
// must equal `reference`, the output of the file before it was changed
// (when there is one of the same shape).
void expectDamageShape(const Outcome& o, const SampleImage& s, int32_t height,
                       const Bytes& reference, uint64_t unchangedBlocks, const std::string& label) {
    uint64_t stride = bmpRowStride(static_cast<uint64_t>(s.width), s.colours);
    uint64_t rows = height > 0 ? static_cast<uint64_t>(height) : 0;
    ASSERT_EQ(o.output.size(), kBmpHeaderSize + stride * rows) << label << ": full length";
    if (o.result.status != ConvertStatus::damaged) return;
    uint64_t top = o.result.damage.block * static_cast<uint64_t>(s.blockHeight);
    uint64_t exactRows = std::min(top, unchangedBlocks * static_cast<uint64_t>(s.blockHeight));
    for (uint64_t y = 0; y < exactRows && !reference.empty(); ++y)
        ASSERT_EQ(rowOf(o.output, stride, rows, y), rowOf(reference, stride, rows, y))
            << label << ": row " << y << " before the damage";
    Bytes last = top == 0 ? Bytes(stride, 0) : rowOf(o.output, stride, rows, top - 1);
    for (uint64_t y = top; y < rows; ++y)
        ASSERT_EQ(rowOf(o.output, stride, rows, y), last)
            << label << ": row " << y << " after the damage repeats the last good row";
}

void expectVerdict(const Outcome& o, const ConvertResult& want, const std::string& label) {
    EXPECT_EQ(describe(o.result), describe(want)) << label;
}

struct NamedSample {
    const char* name;
    SampleImage image;
};

void PrintTo(const NamedSample& s, std::ostream* os) {
    *os << s.name;
}

SampleImage encoded(const wzxtools::Picture& picture, int32_t blockHeight,
                    wzxtools::ChunkMode mode) {
    wzxtools::EncodeOptions options;
    options.blockHeight = blockHeight;
    options.mode = mode;
    return test::describeImage(wzxtools::encodeWzx(picture, options));
}

// The hand-made sample, and pictures through the encoder: real match
// searches, a short last block, stored chunks between compressed ones.
std::vector<NamedSample> samples() {
    using wzxtools::ChunkMode;
    return {
        {"HandMade3", test::sampleImage(3)},
        {"HandMade4", test::sampleImage(4)},
        {"EncodedIllustration",
         encoded(wzxtools::makeIllustration(24, 16, 3, 7), 5, ChunkMode::compressed)},
        {"EncodedGradientAlphaMixed",
         encoded(wzxtools::makeGradient(17, 9, 4), 4, ChunkMode::mixed)},
    };
}

class SampleSweep : public ::testing::TestWithParam<NamedSample> {
  protected:
    const SampleImage& sample = GetParam().image;
    Bytes reference = convert(sample.file).output;
};

TEST_P(SampleSweep, SampleConvertsCleanly) {
    uint64_t blocks = static_cast<uint64_t>((sample.height - 1) / sample.blockHeight) + 1;
    EXPECT_EQ(sample.chunks.size(), blocks * sample.colours) << "chunks found in the layout";
    EXPECT_EQ(sample.chunks.back().end, sample.file.size()) << "the last chunk ends the file";
    Outcome o = convert(sample.file);
    expectVerdict(o, plain(ConvertStatus::converted), "whole sample");
    expectDamageShape(o, sample, sample.height, {}, 0, "whole sample");
}

// Where a cut at `size` bytes must be reported, from the sample's layout:
// the signature, the colour count, then the block height's low byte (a cut
// before it leaves the block height 0, as every sample's block height is
// below 256); past the header, the first chunk that the cut reaches.
ConvertResult expectedForCut(const SampleImage& s, size_t size) {
    if (size < kSignatureSize) return plain(ConvertStatus::badSignature);
    if (size < 12) return plain(ConvertStatus::unsupportedColours);
    if (size <= 20) return plain(ConvertStatus::unsupportedSize);
    for (const test::ChunkSpan& c : s.chunks)
        if (size < c.end) return damagedAt(Damage::inputEndsEarly, c.block, c.channel);
    return plain(ConvertStatus::converted);
}

TEST_P(SampleSweep, CutAtEveryByte) {
    ASSERT_LT(sample.blockHeight, 256) << "the cut rule for the header assumes it";
    for (size_t size = 0; size <= sample.file.size(); ++size) {
        Bytes cut(sample.file.begin(), sample.file.begin() + static_cast<long>(size));
        Outcome o = convert(cut);
        std::string label = "cut to " + std::to_string(size) + " bytes";
        ConvertResult want = expectedForCut(sample, size);
        expectVerdict(o, want, label);
        if (want.status == ConvertStatus::converted || want.status == ConvertStatus::damaged) {
            // The cut is the only change, and lies in the damaged block.
            expectDamageShape(o, sample, sample.height, reference, UINT64_MAX, label);
        } else {
            EXPECT_EQ(o.writeCalls, 0u) << label << ": a refused header writes nothing";
        }
    }
}

TEST_P(SampleSweep, ChunkSizeFieldAtBoundaries) {
    const int32_t cap = static_cast<int32_t>(sample.capacity);
    for (const test::ChunkSpan& c : sample.chunks) {
        uint64_t here = chunkIndex(c.block, c.channel, sample.colours);
        for (int32_t size : {-1, 0, cap, cap + 1, INT32_MAX}) {
            Bytes file = sample.file;
            setLe32(file, c.header + 1, size);
            Outcome o = convert(file);
            std::string label = "block " + std::to_string(c.block) + " channel " +
                                std::to_string(c.channel) + " size " + std::to_string(size);
            expectDamageShape(o, sample, sample.height, reference, c.block, label);
            size_t left = file.size() - (c.header + kChunkHeaderSize);
            if (size < 0) {
                expectVerdict(o, damagedAt(Damage::negativeChunkSize, c.block, c.channel), label);
            } else if (size > cap) {
                expectVerdict(o, damagedAt(Damage::chunkTooLarge, c.block, c.channel), label);
            } else if (static_cast<size_t>(size) > left) {
                expectVerdict(o, damagedAt(Damage::inputEndsEarly, c.block, c.channel), label);
            } else {
                // The chunk itself is whole; what follows is read out of step,
                // so any damage shows at this chunk (cap) or after it (0).
                ASSERT_TRUE(o.result.status == ConvertStatus::converted ||
                            o.result.status == ConvertStatus::damaged)
                    << label << ": have " << describe(o.result);
                if (o.result.status != ConvertStatus::damaged) continue;
                uint64_t at =
                    chunkIndex(o.result.damage.block, o.result.damage.channel, sample.colours);
                if (size == 0) {
                    EXPECT_GT(at, here) << label << ": " << describe(o.result);
                }
                EXPECT_GE(at, here) << label << ": " << describe(o.result);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Samples, SampleSweep, ::testing::ValuesIn(samples()),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Header fields -----------------------------------------------------------

enum class Verdict {
    exact,      // the result below, worked out from the sample's layout
    outOfStep,  // accepted, but the chunks are read out of step
};

struct HeaderCase {
    const char* field;
    size_t offset;
    int32_t value;
    Verdict verdict;
    ConvertResult want = {};
};

// The sample is 6 × 5 pixels in blocks of 2 rows: capacity 22, a 12-byte
// table, blue expanding to 12 bytes and red to 19. A width of INT32_MAX is
// accepted and needs gigabytes of channel buffers, which are really
// allocated: the end-to-end tests run it under an address-space limit.
std::vector<HeaderCase> headerCases() {
    const ConvertResult headersOnly = plain(ConvertStatus::converted);
    const ConvertResult size = plain(ConvertStatus::unsupportedSize);
    return {
        // Capacity 0 × 2 + 10: blue already expands too far.
        {"width", 12, 0, Verdict::exact, damagedAt(Damage::expandsTooFar, 0, 0)},
        // Capacity 12: blue and green fit exactly, red does not.
        {"width", 12, 1, Verdict::exact, damagedAt(Damage::expandsTooFar, 0, 2)},
        {"width", 12, -1, Verdict::exact, size},
        {"width", 12, INT32_MIN, Verdict::exact, size},
        {"height", 16, 0, Verdict::exact, headersOnly},
        {"height", 16, -1, Verdict::exact, headersOnly},
        {"height", 16, INT32_MIN, Verdict::exact, headersOnly},
        // One block: the table shrinks to 4 bytes and the rest is read as chunks.
        {"height", 16, 1, Verdict::outOfStep},
        // The table skip alone runs past the end; the zero rows then claim
        // some 40 GiB of output, which the sink refuses.
        {"height",
         16,
         INT32_MAX,
         Verdict::exact,
         {ConvertStatus::outputFailed, {Damage::inputEndsEarly, 0, 0}}},
        {"block height", 20, 0, Verdict::exact, size},
        {"block height", 20, -1, Verdict::exact, size},
        {"block height", 20, INT32_MIN, Verdict::exact, size},
        {"block height", 20, 1, Verdict::outOfStep},
        {"block height", 20, INT32_MAX, Verdict::outOfStep},
    };
}

TEST(HeaderSweep, EachFieldAtItsBoundaries) {
    for (uint8_t colours : {3, 4}) {
        const SampleImage s = test::sampleImage(colours);
        for (const HeaderCase& c : headerCases()) {
            std::string label =
                std::to_string(colours) + " channels, " + c.field + " " + std::to_string(c.value);
            Bytes file = s.file;
            setLe32(file, c.offset, c.value);
            Outcome o = convert(file);
            if (c.verdict == Verdict::exact) {
                expectVerdict(o, c.want, label);
            } else {
                ASSERT_TRUE(o.result.status == ConvertStatus::converted ||
                            o.result.status == ConvertStatus::damaged)
                    << label << ": have " << describe(o.result);
            }
            if (o.result.status == ConvertStatus::converted ||
                o.result.status == ConvertStatus::damaged) {
                SampleImage shaped = s;
                if (c.offset == 12) shaped.width = c.value;
                if (c.offset == 20) shaped.blockHeight = c.value;
                expectDamageShape(o, shaped, c.offset == 16 ? c.value : s.height, {}, 0, label);
            } else if (o.result.status != ConvertStatus::outputFailed) {
                EXPECT_EQ(o.writeCalls, 0u) << label << ": a refused header writes nothing";
            }
        }
    }
}

TEST(HeaderSweep, EveryColourCount) {
    for (unsigned count = 0; count <= 255; ++count) {
        SampleImage s = test::sampleImage(3);
        Bytes file = s.file;
        file[11] = static_cast<uint8_t>(count);
        Outcome o = convert(file);
        std::string label = "colour count " + std::to_string(count);
        if (count == 3) {
            expectVerdict(o, plain(ConvertStatus::converted), label);
        } else if (count == 4) {
            // A fourth chunk per block that the file does not have: the
            // next block's blue chunk is read as alpha, and so on.
            ASSERT_TRUE(o.result.status == ConvertStatus::converted ||
                        o.result.status == ConvertStatus::damaged)
                << label << ": have " << describe(o.result);
            s.colours = 4;
            expectDamageShape(o, s, s.height, {}, 0, label);
        } else {
            expectVerdict(o, plain(ConvertStatus::unsupportedColours), label);
            EXPECT_EQ(o.writeCalls, 0u) << label;
        }
    }
}

}  // namespace
}  // namespace wzx
