// The container the encoder writes, walked part by part: header fields,
// block-size table, chunk marks per mode, the fall-back to stored chunks,
// compression that actually compresses, and the inputs it refuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "decoder/container.h"
#include "encoder_test_support.h"
#include "tools/picture_gen.h"
#include "tools/wzx_encoder.h"

namespace {

using wzxtools::ChunkMode;
using wzxtools::EncodeOptions;
using wzxtools::Picture;

TEST(ContainerLayout, HeaderAndBlockTableDescribeTheBlocks) {
    struct Case {
        const char* name;
        int32_t width, height, blockHeight;
        unsigned channels;
        size_t tableEntries;
    };
    const Case cases[] = {
        {"height 5 in blocks of 2", 6, 5, 2, 3, 3},
        {"block taller than the picture", 6, 5, 9, 4, 1},
        {"exact blocks", 3, 8, 4, 3, 2},
        {"rows of one", 2, 3, 1, 4, 3},
        {"no rows", 4, 0, 3, 3, 1},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Picture picture = wzxtools::makeIllustration(k.width, k.height, k.channels, 5);
        for (ChunkMode mode : {ChunkMode::compressed, ChunkMode::stored, ChunkMode::mixed}) {
            std::vector<uint8_t> file = wzxtools::encodeWzx(picture, {k.blockHeight, mode, 1});
            wzxtest::FileLayout layout = wzxtest::walkFile(file);
            ASSERT_TRUE(layout.ok);
            const wzx::ImageHeader& h = layout.header;
            EXPECT_EQ(wzx::checkImageHeader(h), wzx::HeaderCheck::accepted);
            EXPECT_EQ(h.colourCount, k.channels);
            EXPECT_EQ(h.width, k.width);
            EXPECT_EQ(h.height, k.height);
            EXPECT_EQ(h.blockHeight, k.blockHeight);
            ASSERT_EQ(layout.blockSizes.size(), k.tableEntries);
            // Each entry is the byte size of its block: its chunks and their headers.
            const size_t blocks = k.height == 0 ? 0 : k.tableEntries;
            ASSERT_EQ(layout.chunks.size(), blocks * k.channels);
            for (size_t b = 0; b < blocks; ++b) {
                uint64_t bytes = 0;
                for (unsigned c = 0; c < k.channels; ++c)
                    bytes += wzx::kChunkHeaderSize + layout.chunks[b * k.channels + c].size;
                EXPECT_EQ(layout.blockSizes[b], bytes) << "block " << b;
            }
        }
    }
}

// Marks per mode, and stored chunks holding their rows' bytes exactly.
TEST(ContainerLayout, ChunkMarksFollowTheMode) {
    Picture picture = wzxtools::makeFlat(10, 7, 3);  // compresses everywhere
    struct Case {
        const char* name;
        EncodeOptions options;
        const char* marks;  // per chunk: c compressed, s stored
    };
    const Case cases[] = {
        {"compressed", {3, ChunkMode::compressed, 1}, "ccccccccc"},
        {"stored", {3, ChunkMode::stored, 1}, "sssssssss"},
        {"stored with mark 255", {3, ChunkMode::stored, 255}, "sssssssss"},
        {"mixed", {3, ChunkMode::mixed, 1}, "cscscscsc"},
    };
    for (const Case& k : cases) {
        std::vector<uint8_t> file = wzxtools::encodeWzx(picture, k.options);
        wzxtest::FileLayout layout = wzxtest::walkFile(file);
        ASSERT_TRUE(layout.ok) << k.name;
        std::string have;
        for (size_t i = 0; i < layout.chunks.size(); ++i) {
            const wzxtest::ChunkInfo& c = layout.chunks[i];
            have += c.mark == 0 ? 'c' : 's';
            if (c.mark == 0) continue;
            EXPECT_EQ(c.mark, k.options.storedMark) << k.name << " chunk " << i;
            int32_t rows = i / 3 == 2 ? 1 : 3;
            EXPECT_EQ(c.size, rows * picture.width) << k.name << " chunk " << i;
        }
        EXPECT_EQ(have, k.marks) << k.name;
        wzxtest::Conversion conv = wzxtest::convertBytes(file);
        EXPECT_EQ(conv.result.status, wzx::ConvertStatus::converted) << k.name;
        EXPECT_EQ(wzxtest::bmpDifference(picture, conv.bmp), "") << k.name;
    }
}

// Noise does not compress; a full block of it would outgrow the decoder's
// chunk buffer (width × block height + 10), so it is stored instead, while
// the short last block still fits compressed.
TEST(ContainerLayout, ChunkTooLargeWhenCompressedIsStored) {
    Picture picture = wzxtools::makeNoise(64, 40, 3, 77);
    std::vector<uint8_t> file = wzxtools::encodeWzx(picture, {32, ChunkMode::compressed, 9});
    wzxtest::FileLayout layout = wzxtest::walkFile(file);
    ASSERT_TRUE(layout.ok);
    ASSERT_EQ(layout.chunks.size(), 6u);
    const int32_t capacity = 64 * 32 + 10;
    for (size_t i = 0; i < 6; ++i) {
        const wzxtest::ChunkInfo& c = layout.chunks[i];
        EXPECT_LE(c.size, capacity) << "chunk " << i;
        if (i < 3) {
            EXPECT_EQ(c.mark, 9) << "full block chunk " << i << " should be stored";
            EXPECT_EQ(c.size, 64 * 32);
        } else {
            EXPECT_EQ(c.mark, 0) << "last block chunk " << i << " fits compressed";
            EXPECT_GT(c.size, 64 * 8) << "noise should not shrink";
        }
    }
    wzxtest::Conversion conv = wzxtest::convertBytes(file);
    EXPECT_EQ(conv.result.status, wzx::ConvertStatus::converted);
    EXPECT_EQ(wzxtest::bmpDifference(picture, conv.bmp), "");
}

size_t encodedSize(const Picture& picture, EncodeOptions options) {
    return wzxtools::encodeWzx(picture, options).size();
}

TEST(Compression, FlatPictureShrinksFarBelowStored) {
    Picture picture = wzxtools::makeFlat(256, 256, 3);
    size_t stored = encodedSize(picture, {32, ChunkMode::stored, 1});
    size_t compressed = encodedSize(picture, {32, ChunkMode::compressed, 1});
    EXPECT_LT(compressed * 20, stored) << "have " << compressed << " of " << stored;
}

TEST(Compression, IllustrationShrinks) {
    Picture picture = wzxtools::makeIllustration(400, 300, 4, 3);
    size_t stored = encodedSize(picture, {32, ChunkMode::stored, 1});
    size_t compressed = encodedSize(picture, {32, ChunkMode::compressed, 1});
    EXPECT_LT(compressed * 3, stored) << "have " << compressed << " of " << stored;
}

// Rows that are 1, 2, 3, ... times one row, noise in its left half and 0
// in its right half: the vertical prediction makes every row's channel
// bytes the same, so with one row per block each chunk repeats the same
// channel's chunk of the block above. Within a chunk the noise half does
// not shrink; only matches into earlier chunks can. The zero half lets the
// first chunks fit their buffer compressed, so that they enter the window.
Picture makeRepeatingRows(int32_t width, int32_t height) {
    Picture row = wzxtools::makeNoise(width, 1, 3, 99);
    std::fill(row.pixels.begin() + static_cast<std::ptrdiff_t>(row.pixels.size() / 2),
              row.pixels.end(), uint8_t{0});
    Picture p = wzxtools::makeBlankPicture(width, height, 3);
    for (size_t y = 0; y < static_cast<size_t>(height); ++y)
        for (size_t i = 0; i < row.pixels.size(); ++i)
            p.pixels[y * row.pixels.size() + i] = static_cast<uint8_t>(row.pixels[i] * (y + 1));
    return p;
}

TEST(Compression, MatchesReachAcrossChunks) {
    const Picture picture = makeRepeatingRows(1000, 20);
    struct Case {
        const char* name;
        ChunkMode mode;
        size_t mostPercentOfStored;
    };
    // Without matches across chunks each chunk would take more than half
    // its stored size. In mixed mode half the chunks are stored; the
    // compressed half still finds the same channel's bytes among the
    // compressed chunks above.
    const Case cases[] = {
        {"compressed", ChunkMode::compressed, 12},
        {"mixed", ChunkMode::mixed, 60},
    };
    const size_t stored = encodedSize(picture, {1, ChunkMode::stored, 1});
    for (const Case& k : cases) {
        std::vector<uint8_t> file = wzxtools::encodeWzx(picture, {1, k.mode, 1});
        EXPECT_LE(file.size() * 100, stored * k.mostPercentOfStored)
            << k.name << ": have " << file.size() << " of " << stored;
        wzxtest::Conversion conv = wzxtest::convertBytes(file);
        EXPECT_EQ(conv.result.status, wzx::ConvertStatus::converted) << k.name;
        EXPECT_EQ(wzxtest::bmpDifference(picture, conv.bmp), "") << k.name;
    }
}

TEST(EncodeChecks, RefusesWhatTheFormatCannotHold) {
    struct Case {
        const char* name;
        Picture picture;
        EncodeOptions options;
    };
    Picture good = wzxtools::makeGradient(4, 4, 3);
    Picture twoChannels = good;
    twoChannels.channels = 2;
    Picture negative = good;
    negative.width = -4;
    Picture short1 = good;
    short1.pixels.pop_back();
    Picture long1 = good;
    long1.pixels.push_back(0);
    const Case cases[] = {
        {"two channels", twoChannels, {}},
        {"negative width", negative, {}},
        {"one pixel byte short", short1, {}},
        {"one pixel byte too many", long1, {}},
        {"block height 0", good, {0, ChunkMode::compressed, 1}},
        {"negative block height", good, {-3, ChunkMode::compressed, 1}},
        {"stored mark 0", good, {4, ChunkMode::stored, 0}},
    };
    ASSERT_EQ(wzxtools::checkEncodable(good, {}), nullptr);
    for (const Case& k : cases) {
        EXPECT_NE(wzxtools::checkEncodable(k.picture, k.options), nullptr) << k.name;
        EXPECT_TRUE(wzxtools::encodeWzx(k.picture, k.options).empty()) << k.name;
    }
}

}  // namespace
