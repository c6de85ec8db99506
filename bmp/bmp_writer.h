// Writes an uncompressed bottom-up BMP of 24 or 32 bits per pixel.
//
// Layout written, all little-endian:
//   offset  size  field              value
//   0       2     bfType             "BM"
//   2       4     bfSize             0
//   6       2+2   bfReserved1/2      0
//   10      4     bfOffBits          54
//   14      4     biSize             40
//   18      4     biWidth            image width
//   22      4     biHeight           image height (signed; rows bottom-up)
//   26      2     biPlanes           1
//   28      2     biBitCount         24 or 32
//   30      4×6   biCompression ..   0 (BI_RGB, no sizes, no palette)
//   54            pixel rows, stride S = width × channels rounded up to 4
//
// Image row y (0 = top) lives at D + (height - 1 - y) × S. Rows arrive top
// first, so consecutive rows run backwards through the file; the writer
// gathers such a run in memory and sends it out in large writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "bmp/byte_sink.h"

namespace wzx {

inline constexpr uint64_t kBmpHeaderSize = 14 + 40;

// Row stride in bytes: width × channels rounded up to a multiple of 4.
// Callers keep width × channels well inside 63 bits.
inline uint64_t bmpRowStride(uint64_t width, unsigned channels) {
    return (width * channels + 3) / 4 * 4;
}

// The 54 header bytes for an image of the given shape.
void buildBmpHeaders(int32_t width, int32_t height, unsigned channels, uint8_t out[kBmpHeaderSize]);

class BmpWriter {
  public:
    // How many bytes of consecutive rows are gathered before they go out.
    static constexpr size_t kStagingBytes = size_t{1} << 20;

    explicit BmpWriter(ByteSink& out) : out_(out) {}

    // Writes both headers at the start of the (empty) output and records
    // the pixel offset D and row stride S.
    bool writeHeaders(int32_t width, int32_t height, unsigned channels);
    // Places image row y (width × channels bytes) and its zero pad bytes.
    // The row after the last one placed, while the staging area has room,
    // takes the inline path: narrow images bring millions of tiny rows.
    bool placeRow(int64_t y, const uint8_t* row) {
        if (y != nextRow_ || slot_ == staging_.data()) return placeRowSlowly(y, row);
        stageRow(y, row);
        return true;
    }
    // Slots for rows y, y + 1, ... straight in the staging area, for callers
    // that build rows in place: up to `want` of them, `granted` in fact.
    // Row y + i goes at the result minus i × stride; the caller fills each
    // row's first width × channels bytes before the next call to the writer
    // (the pad bytes are zero already). The rows count as placed. nullptr
    // when the rows cannot be staged (rows too large for the staging area,
    // a failed write, no such row); placeRow then does it.
    uint8_t* stageRows(int64_t y, int64_t want, int64_t& granted);
    uint64_t stride() const { return stride_; }
    // Sends out whatever rows are still gathered. Must be called once the
    // last row is placed; the result tells whether every write succeeded.
    bool finish();

  private:
    static constexpr int64_t kNoRow = INT64_MIN;

    bool placeRowSlowly(int64_t y, const uint8_t* row);
    // Flushes unless the row at this file offset continues the gathered run
    // and fits; false when the flush failed.
    bool makeRoom(uint64_t offset);
    bool flushStaged();

    // Copies row y into the slot below the gathered ones. Slots sit at fixed
    // multiples of the stride from the staging area's end and rows fill only
    // their first rowBytes_, so pad bytes keep the zeros they were
    // allocated with. One-pixel rows are copied inline: there are millions.
    void stageRow(int64_t y, const uint8_t* row) {
        slot_ -= stride_;
        if (rowBytes_ == 3) {
            slot_[0] = row[0];
            slot_[1] = row[1];
            slot_[2] = row[2];
        } else if (rowBytes_ == 4) {
            std::memcpy(slot_, row, 4);
        } else {
            std::memcpy(slot_, row, static_cast<size_t>(rowBytes_));
        }
        nextRow_ = y + 1 < height_ ? y + 1 : kNoRow;
    }

    ByteSink& out_;
    int64_t height_ = 0;
    uint64_t rowBytes_ = 0;
    uint64_t stride_ = 0;
    uint64_t pixelOffset_ = kBmpHeaderSize;
    bool ok_ = true;
    // Gathered rows fill staging_ from its end towards its start, down to
    // slot_; they cover the file bytes up to, not including, stagedEnd_.
    std::vector<uint8_t> staging_;
    uint8_t* slot_ = nullptr;
    uint64_t stagedEnd_ = 0;
    // The row that would continue the gathered run, or kNoRow.
    int64_t nextRow_ = kNoRow;
};

}  // namespace wzx
