// Encode, then convert with the real decoder, then compare every BMP byte
// with the source picture: for each kind of picture, with and without
// alpha, in each chunk mode and block height, over a grid of small sizes.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <tuple>

#include "encoder_test_support.h"
#include "tools/picture_gen.h"
#include "tools/wzx_encoder.h"

namespace wzxtools {

// Names instead of raw bytes in test names and failure messages.
void PrintTo(PictureKind kind, std::ostream* os) {
    *os << pictureKindName(kind);
}
void PrintTo(ChunkMode mode, std::ostream* os) {
    *os << chunkModeName(mode);
}

}  // namespace wzxtools

namespace {

using wzxtools::ChunkMode;
using wzxtools::PictureKind;

using Params = std::tuple<PictureKind, unsigned, ChunkMode, int32_t>;

class RoundTrip : public ::testing::TestWithParam<Params> {};

constexpr int32_t kWidths[] = {1, 2, 5, 17, 64};
constexpr int32_t kHeights[] = {1, 2, 5, 33};

TEST_P(RoundTrip, DecoderGivesBackTheSourcePixels) {
    const auto [kind, channels, mode, blockHeight] = GetParam();
    for (int32_t width : kWidths) {
        for (int32_t height : kHeights) {
            SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
            const uint64_t seed =
                static_cast<uint64_t>(width) * 1000 + static_cast<uint64_t>(height);
            wzxtools::Picture picture = wzxtools::makePicture(kind, width, height, channels, seed);
            const wzxtools::EncodeOptions options{blockHeight, mode, 1};
            std::vector<uint8_t> file = wzxtools::encodeWzx(picture, options);
            ASSERT_FALSE(file.empty());
            EXPECT_LE(file.size(), wzxtools::encodedSizeBound(picture, options));

            wzxtest::Conversion c = wzxtest::convertBytes(file);
            ASSERT_EQ(c.result.status, wzx::ConvertStatus::converted)
                << "damage: " << wzx::damageText(c.result.damage.what) << " in block "
                << c.result.damage.block << " channel " << c.result.damage.channel;
            EXPECT_EQ(wzxtest::bmpDifference(picture, c.bmp), "");
        }
    }
}

std::string paramName(const ::testing::TestParamInfo<Params>& info) {
    const auto [kind, channels, mode, blockHeight] = info.param;
    return std::string(wzxtools::pictureKindName(kind)) + (channels == 4 ? "_alpha_" : "_") +
           wzxtools::chunkModeName(mode) + "_block" + std::to_string(blockHeight);
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, RoundTrip,
    ::testing::Combine(
        ::testing::Values(PictureKind::gradient, PictureKind::noise, PictureKind::flat,
                          PictureKind::edges, PictureKind::illustration),
        ::testing::Values(3u, 4u),
        ::testing::Values(ChunkMode::compressed, ChunkMode::stored, ChunkMode::mixed),
        // 40 is taller than every height above, 1 << 30 far taller.
        ::testing::Values(1, 2, 4, 32, 40, int32_t{1} << 30)),
    paramName);

// Shapes at the edges of the format: no columns, no rows, and a picture
// that fills exactly one block.
TEST(RoundTripShapes, EmptyAndExactBlockPicturesConvert) {
    struct Case {
        const char* name;
        int32_t width, height, blockHeight;
    };
    const Case cases[] = {
        {"no rows", 7, 0, 4},
        {"no columns", 0, 9, 4},
        {"one exact block", 9, 4, 4},
        {"exact blocks", 9, 12, 4},
    };
    for (const Case& k : cases) {
        for (ChunkMode mode : {ChunkMode::compressed, ChunkMode::stored, ChunkMode::mixed}) {
            SCOPED_TRACE(std::string(k.name) + ", " + wzxtools::chunkModeName(mode));
            wzxtools::Picture picture = wzxtools::makeGradient(k.width, k.height, 3);
            std::vector<uint8_t> file = wzxtools::encodeWzx(picture, {k.blockHeight, mode, 1});
            ASSERT_FALSE(file.empty());
            wzxtest::Conversion c = wzxtest::convertBytes(file);
            ASSERT_EQ(c.result.status, wzx::ConvertStatus::converted);
            EXPECT_EQ(wzxtest::bmpDifference(picture, c.bmp), "");
        }
    }
}

}  // namespace
