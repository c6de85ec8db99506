// Header parsing and checking, the block-size table skip and the order of
// a conversion's checks.
#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "decoder/container.h"
#include "support/bmp_reader.h"
#include "support/wzx_builder.h"

namespace wzx {
namespace {

using test::Bytes;

struct HeaderCase {
    std::string name;
    Bytes bytes;
    HeaderCheck want;
};

Bytes header(uint8_t colours, int32_t w, int32_t h, int32_t bh) {
    return test::imageHeader(colours, w, h, bh);
}

std::vector<HeaderCase> headerCases() {
    std::vector<HeaderCase> cases = {
        {"ThreeColours", header(3, 5, 2, 1), HeaderCheck::accepted},
        {"FourColours", header(4, 5, 2, 1), HeaderCheck::accepted},
        {"WidthZero", header(3, 0, 2, 1), HeaderCheck::accepted},
        {"HeightZero", header(3, 5, 0, 1), HeaderCheck::accepted},
        {"HeightNegative", header(3, 5, -3, 1), HeaderCheck::accepted},
        {"HeightMinimum", header(3, 5, INT32_MIN, 1), HeaderCheck::accepted},
        {"BlockTallerThanImage", header(3, 5, 2, INT32_MAX), HeaderCheck::accepted},
        {"WidestSingleRow", header(4, INT32_MAX, 1, 1), HeaderCheck::accepted},
        {"TallestNarrow", header(3, 1 << 20, INT32_MAX, 1), HeaderCheck::accepted},
        {"BothWrongReportsSignature",
         [] {
             Bytes b = header(2, 5, 2, 1);
             b[0] = 'X';
             return b;
         }(),
         HeaderCheck::badSignature},
        {"BlockHeightZero", header(3, 5, 2, 0), HeaderCheck::unsupportedSize},
        {"BlockHeightNegative", header(3, 5, 2, -1), HeaderCheck::unsupportedSize},
        {"BlockHeightMinimum", header(3, 5, 0, INT32_MIN), HeaderCheck::unsupportedSize},
        {"WidthNegative", header(3, -1, 2, 1), HeaderCheck::unsupportedSize},
        {"PixelArrayBeyond63Bits", header(4, INT32_MAX, INT32_MAX, 1),
         HeaderCheck::unsupportedSize},
        {"ColoursCheckedBeforeSize", header(5, -1, 2, 0), HeaderCheck::unsupportedColours},
    };
    for (int colours : {0, 1, 2, 5, 255}) {
        cases.push_back({"Colours" + std::to_string(colours),
                         header(static_cast<uint8_t>(colours), 5, 2, 1),
                         HeaderCheck::unsupportedColours});
    }
    for (size_t i = 0; i < kSignatureSize; ++i) {
        Bytes b = header(3, 5, 2, 1);
        b[i] ^= 0x01;
        cases.push_back({"SignatureByte" + std::to_string(i), b, HeaderCheck::badSignature});
    }
    Bytes noEof = header(3, 5, 2, 1);
    noEof[10] = 0;
    cases.push_back({"SignatureWithoutFinal1A", noEof, HeaderCheck::badSignature});
    Bytes short12 = header(3, 5, 2, 1);
    short12.resize(12);
    // Missing fields count as 0, so a cut header fails the block height.
    cases.push_back({"CutAfterColours", short12, HeaderCheck::unsupportedSize});
    cases.push_back({"Empty", {}, HeaderCheck::badSignature});
    return cases;
}

void PrintTo(const HeaderCase& c, std::ostream* os) {
    *os << c.name;
}

class HeaderTest : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(HeaderTest, Checks) {
    MemorySource in(GetParam().bytes);
    ImageHeader h;
    HeaderCheck have = readImageHeader(in, h);
    EXPECT_EQ(headerCheckText(have), std::string(headerCheckText(GetParam().want)));
}

INSTANTIATE_TEST_SUITE_P(Cases, HeaderTest, ::testing::ValuesIn(headerCases()),
                         [](const auto& info) { return info.param.name; });

TEST(Header, FieldsAreLittleEndianAndSigned) {
    Bytes b = header(4, 0x01020304, -2, 0x7FFFFFFF);
    ImageHeader h = parseImageHeader(b.data());
    EXPECT_EQ(h.colourCount, 4);
    EXPECT_EQ(h.width, 0x01020304);
    EXPECT_EQ(h.height, -2);
    EXPECT_EQ(h.blockHeight, 0x7FFFFFFF);
}

TEST(Header, ChunkHeader) {
    Bytes b = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x07, 0x10, 0x00, 0x00, 0x00, 0x01, 0x02};
    MemorySource in(b);
    ChunkHeader c;
    ASSERT_TRUE(readChunkHeader(in, c));
    EXPECT_EQ(c.mark, 0);
    EXPECT_EQ(c.size, -1);
    ASSERT_TRUE(readChunkHeader(in, c));
    EXPECT_EQ(c.mark, 7);
    EXPECT_EQ(c.size, 16);
    EXPECT_FALSE(readChunkHeader(in, c)) << "two bytes left are no chunk header";
}

TEST(Header, BlockCount) {
    struct {
        int32_t height, blockHeight;
        uint64_t blocks;
    } cases[] = {{5, 2, 3},
                 {4, 2, 2},
                 {1, 1, 1},
                 {2, 1000, 1},
                 {0, 3, 0},
                 {-7, 3, 0},
                 {INT32_MAX, 1, uint64_t{INT32_MAX}}};
    for (const auto& c : cases) {
        ImageHeader h;
        h.height = c.height;
        h.blockHeight = c.blockHeight;
        EXPECT_EQ(blockCount(h), c.blocks) << c.height << " / " << c.blockHeight;
    }
}

// The table entries mean nothing to the decoder: filled with junk, the
// image still decodes, so they were skipped rather than read.
TEST(Convert, SkipsTheBlockSizeTable) {
    struct {
        int32_t height, blockHeight, entries;
    } cases[] = {{5, 2, 3}, {2, 9, 1}, {1, 1, 1}};
    for (const auto& c : cases) {
        Bytes file = test::imageHeader(3, 1, c.height, c.blockHeight);
        for (int i = 0; i < c.entries; ++i) test::appendLe32(file, 0xA5A5A5A5);
        for (int top = 0; top < c.height; top += c.blockHeight) {
            int rows = std::min(c.blockHeight, c.height - top);
            for (int ch = 0; ch < 3; ++ch) test::appendStored(file, Bytes(rows, ch == 0 ? 1 : 0));
        }
        MemorySource in(file);
        MemorySink out;
        ConvertResult r = convertFile(in, out);
        EXPECT_EQ(r.status, ConvertStatus::converted) << c.height << " / " << c.blockHeight;
        test::BmpPixels px = test::readBmp(out.bytes());
        ASSERT_TRUE(px.ok);
        for (int y = 0; y < c.height; ++y) EXPECT_EQ(px.pixels[y * 3], y + 1) << "row " << y;
    }
}

TEST(Convert, NoRowsMeansHeadersOnlyWhateverFollows) {
    for (int32_t height : {0, -1, -3, INT32_MIN}) {
        Bytes file = test::imageHeader(3, 4, height, 2);
        file.insert(file.end(), {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
        MemorySource in(file);
        MemorySink out;
        EXPECT_EQ(convertFile(in, out).status, ConvertStatus::converted) << height;
        ASSERT_EQ(out.bytes().size(), 54u) << height;
        EXPECT_EQ(loadLe32Signed(out.bytes().data() + 22), height);
    }
}

TEST(Convert, RefusedHeaderWritesNothing) {
    for (Bytes file : {header(3, 1, 1, 0), header(2, 1, 1, 1), Bytes{'W', 'Z'}}) {
        MemorySource in(file);
        MemorySink out;
        EXPECT_NE(convertFile(in, out).status, ConvertStatus::converted);
        EXPECT_EQ(out.writeCalls(), 0u);
    }
}

TEST(Convert, AnyNonZeroMarkIsStored) {
    for (uint8_t mark : {1, 2, 0x80, 255}) {
        Bytes file = test::imageStart(3, 1, 1, 1);
        test::appendChunk(file, mark, {1});
        test::appendChunk(file, mark, {2});
        test::appendChunk(file, mark, {3});
        MemorySource in(file);
        MemorySink out;
        ASSERT_EQ(convertFile(in, out).status, ConvertStatus::converted) << int(mark);
        test::BmpPixels px = test::readBmp(out.bytes());
        EXPECT_EQ(px.pixels, (Bytes{3, 2, 5})) << "mark " << int(mark);
    }
}

}  // namespace
}  // namespace wzx
