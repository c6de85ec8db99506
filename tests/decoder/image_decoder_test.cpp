// Block decoding and pixel reconstruction on hand-made images whose pixels
// are worked out by hand from the prediction formulas, and the handling of
// damaged block data.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bmp/bmp_writer.h"
#include "decoder/container.h"
#include "decoder/image_decoder.h"
#include "decoder/row_reconstruction.h"
#include "support/bmp_reader.h"
#include "support/wzx_builder.h"

namespace wzx {
namespace {

using test::appendCompressed;
using test::appendStored;
using test::Bytes;
using test::literals;

struct PixelCase {
    const char* name;
    Bytes file;
    Bytes pixels;  // top row first, channel order, no padding
};

Bytes start(uint8_t colours, int32_t w, int32_t h, int32_t bh) {
    return test::imageStart(colours, w, h, bh);
}

// Builds a file from a start and a list of (mark, data) chunks.
Bytes image(Bytes file, std::vector<std::pair<uint8_t, Bytes>> chunks) {
    for (auto& [mark, data] : chunks) test::appendChunk(file, mark, data);
    return file;
}

constexpr uint8_t S = 1;  // stored
constexpr uint8_t C = 0;  // compressed

std::vector<PixelCase> pixelCases() {
    return {
        {"OnePixelGreenBased", image(start(3, 1, 1, 1), {{S, {1}}, {S, {2}}, {S, {3}}}), {3, 2, 5}},
        {"AccumulatorWraps",
         image(start(3, 1, 1, 1), {{S, {200}}, {S, {100}}, {S, {0}}}),
         {44, 100, 100}},
        {"HorizontalSum",
         image(start(3, 2, 1, 1), {{S, {1, 1}}, {S, {0, 0}}, {S, {0, 0}}}),
         {1, 0, 0, 2, 0, 0}},
        {"VerticalSum",
         image(start(3, 1, 2, 2), {{S, {5, 5}}, {S, {0, 0}}, {S, {0, 0}}}),
         {5, 0, 0, 10, 0, 0}},
        {"PreviousRowCarriesAcrossBlocks",
         image(start(3, 1, 3, 1), {{S, {5}},
                                   {S, {0}},
                                   {S, {0}},
                                   {S, {5}},
                                   {S, {0}},
                                   {S, {0}},
                                   {S, {5}},
                                   {S, {1}},
                                   {S, {0}}}),
         {5, 0, 0, 10, 0, 0, 16, 1, 1}},
        {"ShortLastBlock",
         // Height 5 in blocks of 2: the third block holds row 4 alone.
         image(start(3, 2, 5, 2), {{S, {1, 0, 1, 0}},
                                   {S, {0, 0, 0, 0}},
                                   {S, {0, 0, 0, 0}},
                                   {S, {1, 0, 1, 0}},
                                   {S, {0, 0, 0, 0}},
                                   {S, {0, 0, 0, 0}},
                                   {S, {0, 1}},
                                   {S, {0, 0}},
                                   {S, {0, 0}}}),
         {1, 0, 0, 1, 0, 0, 2, 0, 0, 2, 0, 0, 3, 0, 0,
          3, 0, 0, 4, 0, 0, 4, 0, 0, 4, 0, 0, 5, 0, 0}},
        {"AlphaTakesNoGreen",
         image(start(4, 2, 1, 1), {{S, {1, 0}}, {S, {2, 2}}, {S, {3, 0}}, {S, {4, 4}}}),
         {3, 2, 5, 4, 5, 4, 7, 8}},
        {"CompressedLiterals",
         image(start(3, 2, 1, 1),
               {{C, literals({1, 2})}, {C, literals({0, 1})}, {C, literals({7, 7})}}),
         {1, 0, 7, 4, 1, 15}},
        {"TwentyLiteralsInTwentyThreeBytes",
         // Width 5, blocks of 4 rows: the compressed bytes outnumber the
         // expanded ones and still fit the 30-byte buffer.
         [] {
             Bytes file = start(3, 5, 4, 4);
             appendCompressed(file, literals(Bytes(20, 1)));
             appendStored(file, Bytes(20, 0));
             appendStored(file, Bytes(20, 0));
             return file;
         }(),
         [] {
             Bytes px;
             for (int y = 1; y <= 4; ++y)
                 for (int x = 1; x <= 5; ++x) px.insert(px.end(), {uint8_t(x * y), 0, 0});
             return px;
         }()},
        {"ExtraExpandedBytesMoveTheWritePosition",
         // Channel 0 expands to 6 bytes where 1 is used, so the write
         // position is 6; channel 1's literal lands at 6, where channel 2's
         // match finds it.
         image(start(3, 1, 1, 1),
               {{C, literals({7, 1, 2, 3, 4, 5})}, {C, literals({9})}, {C, {0x01, 0x06, 0x00}}}),
         {16, 9, 18}},
        {"StoredChunkLeavesTheWindowAlone",
         // Channel 2 copies ring positions 1..3: untouched by the stored
         // chunk, they are still 0.
         image(start(3, 1, 1, 1), {{C, literals({7})}, {S, {3}}, {C, {0x01, 0x01, 0x00}}}),
         {10, 3, 3}},
        {"WindowCarriesAcrossBlocks",
         image(start(3, 1, 2, 1), {{C, literals({42})},
                                   {S, {0}},
                                   {S, {0}},
                                   {C, {0x01, 0x00, 0x00}},
                                   {S, {0}},
                                   {S, {0}}}),
         {42, 0, 0, 84, 0, 0}},
        {"MatchIntoFreshRingGivesZeros",
         image(start(3, 3, 1, 1), {{C, {0x01, 0x00, 0x00}}, {S, {1, 1, 1}}, {S, {0, 0, 0}}}),
         {1, 1, 1, 2, 2, 2, 3, 3, 3}},
        {"ShortChunkReusesEarlierBlock",
         // Block 1's blue chunk has one byte for two pixels; the second is
         // what block 0 left there.
         image(start(3, 2, 2, 1),
               {{S, {1, 2}}, {S, {0, 0}}, {S, {0, 0}}, {S, {5}}, {S, {0, 0}}, {S, {0, 0}}}),
         {1, 0, 0, 3, 0, 0, 6, 0, 0, 10, 0, 0}},
        {"BytesAfterTheLastBlock",
         [] {
             Bytes f = image(start(3, 1, 1, 1), {{S, {1}}, {S, {2}}, {S, {3}}});
             f.insert(f.end(), 100, 0xFF);
             return f;
         }(),
         {3, 2, 5}},
        {"HugeBlockHeightOnOneRow",
         image(start(3, 2, 1, INT32_MAX), {{S, {1, 1}}, {S, {0, 0}}, {S, {0, 0}}}),
         {1, 0, 0, 2, 0, 0}},
    };
}

void PrintTo(const PixelCase& c, std::ostream* os) {
    *os << c.name;
}

class PixelTest : public ::testing::TestWithParam<PixelCase> {};

TEST_P(PixelTest, Rebuilds) {
    const PixelCase& c = GetParam();
    MemorySource in(c.file);
    MemorySink out;
    ConvertResult r = convertFile(in, out);
    EXPECT_EQ(r.status, ConvertStatus::converted) << damageText(r.damage.what);
    test::BmpPixels px = test::readBmp(out.bytes());
    ASSERT_TRUE(px.ok);
    EXPECT_EQ(px.pixels, c.pixels);
}

INSTANTIATE_TEST_SUITE_P(Cases, PixelTest, ::testing::ValuesIn(pixelCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Blocks, WidthZeroStillReadsEveryChunk) {
    // The chunks are read: whole, they convert cleanly; cut, the cut shows.
    Bytes file = start(3, 0, 3, 1);
    for (int i = 0; i < 9; ++i) appendStored(file, {1, 2, 3});
    MemorySource whole(file);
    MemorySink out;
    EXPECT_EQ(convertFile(whole, out).status, ConvertStatus::converted);
    EXPECT_EQ(out.bytes().size(), 54u);
    file.resize(file.size() - 1);
    MemorySource cut(file);
    MemorySink out2;
    ConvertResult r = convertFile(cut, out2);
    EXPECT_EQ(r.status, ConvertStatus::damaged);
    EXPECT_EQ(r.damage.block, 2u);
    EXPECT_EQ(r.damage.channel, 2u);
}

TEST(Blocks, BuffersFollowRowsTheImageHas) {
    struct {
        int32_t width, height, blockHeight;
        size_t capacity;
    } cases[] = {
        {100, 1, INT32_MAX, 110}, {5, 4, 4, 30}, {5, 5, 2, 20}, {0, 9, 3, 10}, {7, 0, 5, 0}};
    for (const auto& c : cases) {
        ImageHeader h;
        h.colourCount = 3;
        h.width = c.width;
        h.height = c.height;
        h.blockHeight = c.blockHeight;
        EXPECT_EQ(ImageDecoder(h).channelCapacity(), c.capacity)
            << c.width << " x " << c.height << " / " << c.blockHeight;
    }
}

// Shapes whose rows go through the writer's staging area in different ways:
// a one-pixel column of many blocks, rows so wide that a block spans several
// flushes, and both channel counts. The output must be what the plain
// reconstruction gives row by row, in large writes, not one per row.
TEST(Blocks, StagedRowsMatchThePlainModelInLargeWrites) {
    struct Shape {
        const char* name;
        int32_t width, height, blockHeight;
        uint8_t channels;
    } shapes[] = {{"Column", 1, 600000, 32, 3},
                  {"ColumnWithAlpha", 1, 100000, 32, 4},
                  {"NarrowOddWidth", 5, 40000, 7, 3},
                  {"RowsSpanFlushes", 40000, 70, 32, 3},
                  {"WideWithAlpha", 30000, 40, 16, 4}};
    for (const Shape& sh : shapes) {
        const size_t w = static_cast<size_t>(sh.width);
        Bytes file = start(sh.channels, sh.width, sh.height, sh.blockHeight);
        // Channel bytes of row y, channel c: a fixed pattern, compressed as
        // literals where that fits the chunk buffer (so the expansion runs
        // too), stored where it does not.
        auto channelByte = [](int64_t y, size_t x, unsigned c) {
            return static_cast<uint8_t>(y * 7 + x * 13 + c * 29 + (y >> 3));
        };
        Bytes model(w * sh.channels, 0), expected;
        std::vector<Bytes> rowsOut;
        for (int32_t top = 0; top < sh.height; top += sh.blockHeight) {
            int32_t rows = std::min(sh.blockHeight, sh.height - top);
            for (unsigned c = 0; c < sh.channels; ++c) {
                Bytes chunk;
                for (int32_t y = top; y < top + rows; ++y)
                    for (size_t x = 0; x < w; ++x) chunk.push_back(channelByte(y, x, c));
                Bytes packed = literals(chunk);
                if (packed.size() <= chunk.size() + 10)
                    appendCompressed(file, packed);
                else
                    appendStored(file, chunk);
            }
        }
        const uint64_t stride = bmpRowStride(w, sh.channels);
        expected.assign(static_cast<size_t>(54 + stride * static_cast<uint64_t>(sh.height)), 0);
        Bytes plane[4];
        for (int32_t y = 0; y < sh.height; ++y) {
            const uint8_t* row[4] = {};
            for (unsigned c = 0; c < sh.channels; ++c) {
                plane[c].resize(w);
                for (size_t x = 0; x < w; ++x) plane[c][x] = channelByte(y, x, c);
                row[c] = plane[c].data();
            }
            reconstructRowPlain(row, sh.channels, w, model.data());
            std::copy(model.begin(), model.end(),
                      expected.begin() + static_cast<long>(54 + (sh.height - 1 - y) * stride));
        }
        MemorySource in(file);
        MemorySink out;
        ASSERT_EQ(convertFile(in, out).status, ConvertStatus::converted) << sh.name;
        ASSERT_EQ(out.bytes().size(), expected.size()) << sh.name;
        EXPECT_TRUE(std::equal(out.bytes().begin() + 54, out.bytes().end(), expected.begin() + 54))
            << sh.name << ": pixels differ from the plain model";
        // The headers, then whole staging areas.
        size_t most = 2 + (expected.size() >> 20);
        EXPECT_LE(out.writeCalls(), most) << sh.name << ": have " << out.writeCalls() << " writes";
    }
}

// --- Damage -----------------------------------------------------------------

struct DamageCase {
    const char* name;
    Bytes file;
    Damage what;
    uint64_t block;
    unsigned channel;
};

// Two blocks of one 2-pixel row each; block 0 is whole, block 1 gets the
// chunks given.
Bytes twoBlocks(std::function<void(Bytes&)> secondBlock) {
    Bytes f = start(3, 2, 2, 1);
    appendStored(f, {1, 1});
    appendStored(f, {0, 0});
    appendStored(f, {0, 0});
    secondBlock(f);
    return f;
}

std::vector<DamageCase> damageCases() {
    using test::appendChunkHeader;
    return {
        {"EndsInChunkHeader", twoBlocks([](Bytes& f) {
             f.insert(f.end(), {1, 2, 0});
         }),
         Damage::inputEndsEarly, 1, 0},
        {"EndsInStoredData", twoBlocks([](Bytes& f) {
             appendStored(f, {1, 1});
             appendChunkHeader(f, 1, 2);
             f.push_back(9);
         }),
         Damage::inputEndsEarly, 1, 1},
        {"EndsInCompressedData", twoBlocks([](Bytes& f) {
             appendChunkHeader(f, 0, 3);
             f.insert(f.end(), {0, 1});
         }),
         Damage::inputEndsEarly, 1, 0},
        {"NoSecondBlock", twoBlocks([](Bytes&) {}), Damage::inputEndsEarly, 1, 0},
        {"NegativeSize", twoBlocks([](Bytes& f) { appendChunkHeader(f, 1, -1); }),
         Damage::negativeChunkSize, 1, 0},
        {"SizeBeyondCapacity", twoBlocks([](Bytes& f) {
             // Capacity is 2 × 1 + 10 = 12.
             appendStored(f, Bytes(12, 0));
             appendChunkHeader(f, 1, 13);
             f.insert(f.end(), 13, 0);
         }),
         Damage::chunkTooLarge, 1, 1},
        {"LargestSize", twoBlocks([](Bytes& f) { appendChunkHeader(f, 0, INT32_MAX); }),
         Damage::chunkTooLarge, 1, 0},
        {"ItemCut", twoBlocks([](Bytes& f) {
             appendCompressed(f, {0x01, 0x00});
         }),
         Damage::itemCut, 1, 0},
        {"ExpandsPastCapacity", twoBlocks([](Bytes& f) {
             appendStored(f, {0, 0});
             appendCompressed(f, {0x01, 0x00, 0xE0});  // 17 bytes into 12
         }),
         Damage::expandsTooFar, 1, 1},
    };
}

void PrintTo(const DamageCase& c, std::ostream* os) {
    *os << c.name;
}

class DamageTest : public ::testing::TestWithParam<DamageCase> {};

TEST_P(DamageTest, IsReportedAndTheOutputKeepsItsLength) {
    const DamageCase& c = GetParam();
    MemorySource in(c.file);
    MemorySink out;
    ConvertResult r = convertFile(in, out);
    EXPECT_EQ(r.status, ConvertStatus::damaged);
    EXPECT_EQ(damageText(r.damage.what), std::string(damageText(c.what)));
    EXPECT_EQ(r.damage.block, c.block);
    EXPECT_EQ(r.damage.channel, c.channel);
    test::BmpPixels px = test::readBmp(out.bytes());
    ASSERT_TRUE(px.ok) << "full-length output";
    // Block 0 is exact; the damaged block's channel bytes count as 0, so its
    // row repeats the row above.
    EXPECT_EQ(px.pixels, (Bytes{1, 0, 0, 2, 0, 0, 1, 0, 0, 2, 0, 0}));
}

INSTANTIATE_TEST_SUITE_P(Cases, DamageTest, ::testing::ValuesIn(damageCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Reconstruction, FastPathMatchesPlainLoop) {
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<uint8_t>(seed >> 24);
    };
    for (unsigned channels : {3u, 4u}) {
        for (size_t width : {size_t{1}, size_t{7}, size_t{16}, size_t{33}, size_t{1000}}) {
            std::vector<Bytes> ch(channels, Bytes(width));
            for (auto& c : ch)
                for (auto& b : c) b = next();
            const uint8_t* rows[4] = {};
            for (unsigned c = 0; c < channels; ++c) rows[c] = ch[c].data();
            Bytes prev(width * channels);
            for (auto& b : prev) b = next();
            Bytes fast = prev, plain = prev;
            reconstructRow(rows, channels, width, fast.data());
            reconstructRowPlain(rows, channels, width, plain.data());
            EXPECT_EQ(fast, plain) << channels << " channels, width " << width;
        }
    }
}

}  // namespace
}  // namespace wzx
