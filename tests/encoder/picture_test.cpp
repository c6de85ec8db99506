// BMP reading and writing for pictures: what is written reads back, both
// row orders and padded rows are read, and every malformed header is
// refused with its reason.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "decoder/byte_order.h"
#include "tools/picture.h"
#include "tools/picture_gen.h"

namespace {

using wzxtools::Picture;
using Bytes = std::vector<uint8_t>;

TEST(BmpPicture, WrittenPicturesReadBack) {
    for (unsigned channels : {3u, 4u}) {
        for (int32_t width : {1, 2, 3, 5, 8}) {
            Picture want = wzxtools::makeNoise(width, 3, channels, static_cast<uint64_t>(width));
            Bytes file = wzxtools::writeBmpPicture(want);
            Picture have;
            std::string error;
            ASSERT_TRUE(wzxtools::readBmpPicture(file, have, error)) << error;
            EXPECT_EQ(have.width, want.width);
            EXPECT_EQ(have.height, want.height);
            EXPECT_EQ(have.channels, want.channels);
            EXPECT_EQ(have.pixels, want.pixels) << channels << " channels, width " << width;
            EXPECT_EQ(wzx::loadLe32(file.data() + 2), file.size()) << "file size field";
        }
    }
}

// A top-down file (negative height) with junk in its pad bytes and a
// larger info header reads as the same picture as the plain bottom-up one.
TEST(BmpPicture, TopDownPaddedAndLongerHeadersRead) {
    Picture want = wzxtools::makeIllustration(5, 4, 3, 1);
    Bytes plain = wzxtools::writeBmpPicture(want);
    const size_t stride = 16, extra = 124 - 40;
    Bytes file(54 + extra, 0);
    std::copy(plain.begin(), plain.begin() + 54, file.begin());
    wzx::storeLe32(file.data() + 10, static_cast<uint32_t>(54 + extra));
    wzx::storeLe32(file.data() + 14, 124);
    wzx::storeLe32(file.data() + 22, static_cast<uint32_t>(-4));
    for (size_t y = 0; y < 4; ++y) {
        const uint8_t* src = plain.data() + 54 + (3 - y) * stride;
        file.insert(file.end(), src, src + 15);
        file.push_back(0xAB);  // pad byte, ignored
    }
    Picture have;
    std::string error;
    ASSERT_TRUE(wzxtools::readBmpPicture(file, have, error)) << error;
    EXPECT_EQ(have.height, 4);
    EXPECT_EQ(have.pixels, want.pixels);
}

TEST(BmpPicture, MalformedFilesAreRefusedWithTheirReason) {
    // A valid 2 × 2, 24-bit file: 54 header bytes and two rows of 8 bytes.
    const Bytes good = wzxtools::writeBmpPicture(wzxtools::makeGradient(2, 2, 3));
    ASSERT_EQ(good.size(), 70u);
    auto field32 = [](size_t at, uint32_t v) {
        return [=](Bytes& b) { wzx::storeLe32(b.data() + at, v); };
    };
    auto field16 = [](size_t at, uint16_t v) {
        return [=](Bytes& b) { wzx::storeLe16(b.data() + at, v); };
    };
    struct Case {
        const char* name;
        std::function<void(Bytes&)> damage;
        const char* reason;  // part of the error text
    };
    const Case cases[] = {
        {"empty", [](Bytes& b) { b.clear(); }, "shorter than"},
        {"53 bytes", [](Bytes& b) { b.resize(53); }, "shorter than"},
        {"wrong magic", [](Bytes& b) { b[1] = 'N'; }, "no BM signature"},
        {"core header size 12", field32(14, 12), "info header size 12"},
        {"info header past the end", field32(14, 0xFFFFFFF0u), "info header runs past"},
        {"two planes", field16(26, 2), "plane count 2"},
        {"8 bits", field16(28, 8), "bit count 8"},
        {"16 bits", field16(28, 16), "bit count 16"},
        {"run-length compressed", field32(30, 1), "compression 1"},
        {"bit fields", field32(30, 3), "compression 3"},
        {"width 0", field32(18, 0), "width 0"},
        {"negative width", field32(18, static_cast<uint32_t>(-2)), "width -2"},
        {"height 0", field32(22, 0), "height is 0"},
        {"height INT32_MIN", field32(22, 0x80000000u), "height is out of range"},
        {"pixels inside the headers", field32(10, 40), "inside the headers"},
        {"pixels past the end", field32(10, 71), "past the end"},
        {"one byte missing", [](Bytes& b) { b.pop_back(); }, "runs past the end"},
        {"height beyond the file", field32(22, 3), "runs past the end"},
        {"top-down height beyond the file", field32(22, static_cast<uint32_t>(-3)),
         "runs past the end"},
        // stride × rows would overflow 32 bits; it must not wrap to a small size.
        {"huge width and height",
         [](Bytes& b) {
             wzx::storeLe32(b.data() + 18, 0x7FFFFFFF);
             wzx::storeLe32(b.data() + 22, 0x7FFFFFFF);
         },
         "runs past the end"},
    };
    for (const Case& k : cases) {
        Bytes file = good;
        k.damage(file);
        Picture picture;
        std::string error;
        EXPECT_FALSE(wzxtools::readBmpPicture(file, picture, error)) << k.name;
        EXPECT_NE(error.find(k.reason), std::string::npos)
            << k.name << ": have \"" << error << "\", want it to contain \"" << k.reason << "\"";
    }
}

}  // namespace
