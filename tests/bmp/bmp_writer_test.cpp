// BMP header bytes, row strides, bottom-up placement and the gathering of
// consecutive rows into large writes.
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "bmp/bmp_writer.h"
#include "support/wzx_builder.h"

namespace wzx {
namespace {

using test::Bytes;

Bytes expectedHeader(int32_t w, int32_t h, uint16_t bits) {
    Bytes b = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0};
    test::appendLe32(b, static_cast<uint32_t>(w));
    test::appendLe32(b, static_cast<uint32_t>(h));
    b.insert(b.end(), {1, 0, static_cast<uint8_t>(bits), 0});
    b.resize(54, 0);
    return b;
}

TEST(BmpHeaders, FieldsAtTheirOffsets) {
    struct {
        int32_t w, h;
        unsigned channels;
    } cases[] = {{5, 2, 3}, {3, 1, 4}, {0, 0, 3}, {7, -3, 3}, {0x12345678, 0x7FFFFFFF, 4}};
    for (const auto& c : cases) {
        uint8_t out[54];
        buildBmpHeaders(c.w, c.h, c.channels, out);
        EXPECT_EQ(Bytes(out, out + 54), expectedHeader(c.w, c.h, c.channels * 8))
            << c.w << " x " << c.h << " x " << c.channels;
    }
}

TEST(BmpHeaders, RowStride) {
    struct {
        uint64_t width;
        unsigned channels;
        uint64_t stride;
    } cases[] = {{5, 3, 16}, {4, 3, 12}, {3, 4, 12}, {1, 3, 4}, {2, 3, 8}, {0, 3, 0}, {7, 4, 28}};
    for (const auto& c : cases) {
        EXPECT_EQ(bmpRowStride(c.width, c.channels), c.stride) << c.width << " x " << c.channels;
    }
}

// Places rows in the given order and returns the file.
Bytes writeImage(int32_t w, int32_t h, unsigned channels, const std::vector<int64_t>& order,
                 size_t* writeCalls = nullptr) {
    MemorySink sink;
    BmpWriter writer(sink);
    EXPECT_TRUE(writer.writeHeaders(w, h, channels));
    std::vector<uint8_t> row(static_cast<size_t>(w) * channels);
    for (int64_t y : order) {
        for (size_t i = 0; i < row.size(); ++i) row[i] = static_cast<uint8_t>(y * 16 + i + 1);
        EXPECT_TRUE(writer.placeRow(y, row.data()));
    }
    EXPECT_TRUE(writer.finish());
    if (writeCalls) *writeCalls = sink.writeCalls();
    return sink.bytes();
}

TEST(BmpRows, FiveByTwoHasPaddedRowsBottomUp) {
    Bytes file = writeImage(5, 2, 3, {0, 1});
    ASSERT_EQ(file.size(), 54u + 32u);
    // Row 1 (the bottom one) comes first in the file, then row 0.
    for (int i = 0; i < 15; ++i) {
        EXPECT_EQ(file[54 + i], 16 + i + 1) << "row 1 byte " << i;
        EXPECT_EQ(file[70 + i], i + 1) << "row 0 byte " << i;
    }
    EXPECT_EQ(file[54 + 15], 0) << "pad of row 1";
    EXPECT_EQ(file[70 + 15], 0) << "pad of row 0";
}

TEST(BmpRows, ShapesWithoutPixelsHoldTheHeadersOnly) {
    EXPECT_EQ(writeImage(0, 3, 3, {0, 1, 2}), expectedHeader(0, 3, 24));
    EXPECT_EQ(writeImage(4, 0, 4, {}), expectedHeader(4, 0, 32));
    EXPECT_EQ(writeImage(4, -3, 3, {0, 1, 2}), expectedHeader(4, -3, 24));
}

TEST(BmpRows, GatheringMatchesRowByRowPlacement) {
    // The same rows in image order (gathered runs) and in a scattered order
    // (every row on its own) must give the same file.
    const int32_t w = 300, h = 2000;  // 900-byte rows, 1.8 MB of pixels
    std::vector<int64_t> topFirst, scattered;
    for (int64_t y = 0; y < h; ++y) topFirst.push_back(y);
    for (int64_t y = h - 1; y >= 0; y -= 2) scattered.push_back(y);
    for (int64_t y = h - 2; y >= 0; y -= 2) scattered.push_back(y);
    size_t gatheredCalls = 0;
    Bytes gathered = writeImage(w, h, 3, topFirst, &gatheredCalls);
    Bytes oneByOne = writeImage(w, h, 3, scattered);
    EXPECT_EQ(gathered, oneByOne);
    // 1.8 MB in runs of at most 1 MiB: the header and two pixel writes.
    EXPECT_EQ(gatheredCalls, 3u);
}

TEST(BmpRows, RowsWiderThanTheGatheringAreaGoOutDirectly) {
    const int32_t w = (1 << 20) / 3 + 5;  // one 24-bit row is over 1 MiB
    Bytes file = writeImage(w, 2, 3, {0, 1});
    uint64_t stride = bmpRowStride(w, 3);
    ASSERT_EQ(file.size(), 54 + 2 * stride);
    EXPECT_EQ(file[54], 17);          // row 1 first
    EXPECT_EQ(file[54 + stride], 1);  // then row 0
    EXPECT_EQ(file[54 + stride - 1], 0);
}

// Rows built in place through stageRows must give the same file as rows
// handed to placeRow, in as few writes, also across staging flushes and
// with zero pad bytes.
TEST(BmpRows, StagedInPlaceMatchesPlacedRows) {
    struct Shape {
        int32_t width, height;
        unsigned channels;
        int64_t perCall;  // rows asked for per stageRows call
    } shapes[] = {{1, 300000, 3, 32}, {1, 1000, 4, 7}, {5, 900, 3, 1000}, {3, 70000, 4, 64}};
    for (const Shape& sh : shapes) {
        std::vector<int64_t> order(static_cast<size_t>(sh.height));
        for (int64_t y = 0; y < sh.height; ++y) order[static_cast<size_t>(y)] = y;
        size_t placedWrites = 0;
        Bytes want = writeImage(sh.width, sh.height, sh.channels, order, &placedWrites);

        MemorySink sink;
        BmpWriter writer(sink);
        ASSERT_TRUE(writer.writeHeaders(sh.width, sh.height, sh.channels));
        const size_t rowBytes = static_cast<size_t>(sh.width) * sh.channels;
        for (int64_t y = 0; y < sh.height;) {
            int64_t granted = 0;
            uint8_t* slot = writer.stageRows(y, sh.perCall, granted);
            ASSERT_NE(slot, nullptr) << "row " << y;
            ASSERT_GT(granted, 0);
            for (int64_t i = 0; i < granted; ++i, ++y) {
                uint8_t* dst = slot - i * static_cast<ptrdiff_t>(writer.stride());
                for (size_t b = 0; b < rowBytes; ++b) dst[b] = static_cast<uint8_t>(y * 16 + b + 1);
            }
        }
        ASSERT_TRUE(writer.finish());
        EXPECT_EQ(sink.bytes(), want) << sh.width << " x " << sh.height << " x " << sh.channels;
        EXPECT_EQ(sink.writeCalls(), placedWrites) << sh.width << " x " << sh.height;
    }
}

TEST(BmpRows, StagingRefusesRowsItCannotTake) {
    MemorySink sink;
    BmpWriter writer(sink);
    ASSERT_TRUE(writer.writeHeaders(4, 10, 3));
    int64_t granted = -1;
    EXPECT_EQ(writer.stageRows(10, 1, granted), nullptr) << "no row 10";
    EXPECT_EQ(writer.stageRows(-1, 1, granted), nullptr) << "no row -1";
    EXPECT_NE(writer.stageRows(8, 5, granted), nullptr);
    EXPECT_EQ(granted, 2) << "only rows 8 and 9 exist";
    BmpWriter wide(sink);
    ASSERT_TRUE(wide.writeHeaders((1 << 20) / 3 + 5, 2, 3));
    EXPECT_EQ(wide.stageRows(0, 1, granted), nullptr) << "a row over 1 MiB is not staged";
}

// A sink that refuses every write after the first n.
class FailingSink : public ByteSink {
  public:
    explicit FailingSink(int allowed) : allowed_(allowed) {}
    bool writeAt(uint64_t, const uint8_t*, size_t) override { return allowed_-- > 0; }

  private:
    int allowed_;
};

TEST(BmpRows, WriteFailuresAreReported) {
    for (int allowed = 0; allowed < 2; ++allowed) {
        FailingSink sink(allowed);
        BmpWriter writer(sink);
        bool headers = writer.writeHeaders(2, 2, 3);
        uint8_t row[6] = {};
        writer.placeRow(0, row);
        writer.placeRow(1, row);
        EXPECT_EQ(headers, allowed > 0);
        EXPECT_FALSE(writer.finish()) << "writes allowed: " << allowed;
    }
}

}  // namespace
}  // namespace wzx
