// Expansion of compressed chunks: flag bits, absolute ring positions, the
// length escape, read-before-write runs, cut items and the output bound.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "decoder/sliding_window.h"
#include "support/wzx_builder.h"

namespace wzx {
namespace {

using test::Bytes;

struct WindowCase {
    const char* name;
    std::function<void(SlidingWindow&)> prepare;  // the ring before the chunk
    Bytes data;
    Bytes out;
    uint32_t r;  // write position afterwards
    bool cut = false;
};

void zeroRing(SlidingWindow&) {}

std::vector<WindowCase> windowCases() {
    return {
        {"MatchOnFreshRingGivesZeros", zeroRing, {0x01, 0x00, 0x00}, Bytes(3, 0), 3},
        {"EightLiterals", zeroRing, {0x00, 1, 2, 3, 4, 5, 6, 7, 8}, {1, 2, 3, 4, 5, 6, 7, 8}, 8},
        {"MatchReadsWhatItWrites", zeroRing, {0x02, 0x41, 0x00, 0x00}, Bytes(4, 0x41), 4},
        {"LengthSeventeenNeedsNoThirdByte", zeroRing, {0x01, 0x00, 0xE0}, Bytes(17, 0), 17},
        {"LengthEscapeEighteen", zeroRing, {0x01, 0x00, 0xF0, 0x00}, Bytes(18, 0), 18},
        {"LengthEscapeMaximum", zeroRing, {0x01, 0x00, 0xF0, 0xFF}, Bytes(273, 0), 273},
        {"PositionHighNibbleFromSecondByte",
         [](SlidingWindow& w) {
             w.ring[0x123] = 9;
             w.r = 7;
         },
         {0x01, 0x23, 0x01},
         {9, 0, 0},
         10},
        {"MatchWrapsAtRingEnd",
         [](SlidingWindow& w) {
             w.ring[4095] = 7;
             w.ring[0] = 8;
             w.ring[1] = 9;
             w.r = 100;
         },
         {0x01, 0xFF, 0x0F},
         {7, 8, 9},
         103},
        {"PositionBehindWriterRepeatsLastByte",
         [](SlidingWindow& w) {
             w.ring[49] = 5;
             w.r = 50;
         },
         {0x01, 49, 0x70},
         Bytes(10, 5),
         60},
        {"WritePositionWraps",
         [](SlidingWindow& w) { w.r = 4094; },
         {0x00, 1, 2, 3, 4},
         {1, 2, 3, 4},
         2},
        {"SecondGroupAfterEightItems",
         zeroRing,
         {0x80, 1, 2, 3, 4, 5, 6, 7, 0x00, 0x20, 0x00, 9},
         {1, 2, 3, 4, 5, 6, 7, 1, 2, 3, 4, 5, 9},
         13},
        {"GroupCutShortByChunkEnd", zeroRing, {0x00, 1, 2, 3}, {1, 2, 3}, 3},
        {"EmptyChunk", zeroRing, {}, {}, 0},
        {"LoneFlagByteCutsItsItem", zeroRing, {0x00}, {0}, 1, true},
        {"MatchCutAfterFirstByte", zeroRing, {0x01, 0x00}, {0, 0, 0}, 3, true},
        {"EscapeCutBeforeThirdByte", zeroRing, {0x01, 0x00, 0xF0}, Bytes(18, 0), 18, true},
    };
}

void PrintTo(const WindowCase& c, std::ostream* os) {
    *os << c.name;
}

class WindowTest : public ::testing::TestWithParam<WindowCase> {};

TEST_P(WindowTest, Expands) {
    const WindowCase& c = GetParam();
    SlidingWindow w;
    c.prepare(w);
    Bytes out(300, 0xEE);
    ChunkExpansion ex = decompressChunk(w, c.data.data(), c.data.size(), out.data(), out.size());
    ASSERT_EQ(ex.produced, c.out.size());
    EXPECT_EQ(Bytes(out.begin(), out.begin() + static_cast<long>(ex.produced)), c.out);
    EXPECT_EQ(w.r, c.r);
    EXPECT_EQ(ex.itemCut, c.cut);
    // Every expanded byte sits in the ring just behind the write position.
    for (size_t i = 0; i < c.out.size(); ++i) {
        uint32_t at =
            (c.r - static_cast<uint32_t>(c.out.size()) + static_cast<uint32_t>(i)) & kWindowMask;
        ASSERT_EQ(w.ring[at], c.out[i]) << "ring byte " << at;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, WindowTest, ::testing::ValuesIn(windowCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Window, MatchAtWritePositionLeavesRingUnchanged) {
    // Position r names the bytes written 4096 steps ago; each is read just
    // before it is overwritten with itself.
    SlidingWindow w;
    for (size_t i = 0; i < kWindowSize; ++i) w.ring[i] = static_cast<uint8_t>(i * 7);
    w.r = 10;
    SlidingWindow before = w;
    Bytes data = {0x01, 10, 0xE0};  // position 10, length 17
    Bytes out(17);
    decompressChunk(w, data.data(), data.size(), out.data(), out.size());
    EXPECT_EQ(w.ring, before.ring);
    EXPECT_EQ(w.r, 27u);
    for (size_t i = 0; i < 17; ++i) EXPECT_EQ(out[i], before.ring[10 + i]);
}

TEST(Window, CarriesAcrossChunks) {
    SlidingWindow w;
    Bytes first = {0x00, 'X', 'Y', 'Z'};
    Bytes second = {0x01, 0x00, 0x00};  // position 0, length 3
    Bytes out(3);
    decompressChunk(w, first.data(), first.size(), out.data(), out.size());
    decompressChunk(w, second.data(), second.size(), out.data(), out.size());
    EXPECT_EQ(out, (Bytes{'X', 'Y', 'Z'}));
    EXPECT_EQ(w.r, 6u);
}

TEST(Window, OutputStopsAtCapacityButRingTakesEverything) {
    SlidingWindow w;
    Bytes data = {0x00, 1, 2, 3, 4, 5, 6, 7, 8};
    Bytes out(8, 0xEE);
    ChunkExpansion ex = decompressChunk(w, data.data(), data.size(), out.data(), 5);
    EXPECT_EQ(ex.produced, 8u);
    EXPECT_EQ(out, (Bytes{1, 2, 3, 4, 5, 0xEE, 0xEE, 0xEE}));
    EXPECT_EQ(w.r, 8u);
    EXPECT_EQ(w.ring[7], 8);
}

}  // namespace
}  // namespace wzx
