// BMP header construction and bottom-up row placement.
#include "bmp/bmp_writer.h"

#include <algorithm>
#include <cstring>

#include "decoder/byte_order.h"

namespace wzx {

void buildBmpHeaders(int32_t width, int32_t height, unsigned channels,
                     uint8_t out[kBmpHeaderSize]) {
    std::memset(out, 0, kBmpHeaderSize);
    out[0] = 'B';
    out[1] = 'M';
    storeLe32(out + 10, static_cast<uint32_t>(kBmpHeaderSize));
    storeLe32(out + 14, 40);
    storeLe32(out + 18, static_cast<uint32_t>(width));
    storeLe32(out + 22, static_cast<uint32_t>(height));
    storeLe16(out + 26, 1);
    storeLe16(out + 28, static_cast<uint16_t>(channels * 8));
}

bool BmpWriter::writeHeaders(int32_t width, int32_t height, unsigned channels) {
    uint8_t header[kBmpHeaderSize];
    buildBmpHeaders(width, height, channels, header);
    height_ = height;
    rowBytes_ = width > 0 ? static_cast<uint64_t>(width) * channels : 0;
    stride_ = width > 0 ? bmpRowStride(static_cast<uint64_t>(width), channels) : 0;
    pixelOffset_ = kBmpHeaderSize;
    stagedStart_ = stagedEnd_ = 0;
    if (stride_ > 0 && stride_ <= kStagingBytes && height > 0) {
        // No more rows than the image has: a small image gets a small area.
        uint64_t rows = std::min<uint64_t>(kStagingBytes / stride_, static_cast<uint64_t>(height));
        staging_.assign(static_cast<size_t>(rows * stride_), 0);
    }
    ok_ = out_.writeAt(0, header, sizeof header);
    return ok_;
}

bool BmpWriter::flushStaged() {
    if (stagedEnd_ > stagedStart_) {
        uint64_t n = stagedEnd_ - stagedStart_;
        const uint8_t* first = staging_.data() + (staging_.size() - n);
        if (!out_.writeAt(stagedStart_, first, static_cast<size_t>(n))) ok_ = false;
    }
    stagedStart_ = stagedEnd_ = 0;
    return ok_;
}

bool BmpWriter::placeRow(int64_t y, const uint8_t* row) {
    if (!ok_) return false;
    if (y < 0 || y >= height_) return true;  // no such row in this image
    if (stride_ == 0) return true;           // width 0: rows are empty
    uint64_t offset = pixelOffset_ + static_cast<uint64_t>(height_ - 1 - y) * stride_;
    uint64_t pad = stride_ - rowBytes_;

    if (staging_.empty()) {
        // Rows larger than the staging area go out directly.
        static const uint8_t zeros[4] = {0, 0, 0, 0};
        ok_ = out_.writeAt(offset, row, static_cast<size_t>(rowBytes_)) &&
              out_.writeAt(offset + rowBytes_, zeros, static_cast<size_t>(pad));
        return ok_;
    }
    bool continuesRun = stagedEnd_ > stagedStart_ && offset + stride_ == stagedStart_;
    bool fits = stagedEnd_ - stagedStart_ + stride_ <= staging_.size();
    if (!continuesRun || !fits) {
        if (!flushStaged()) return false;
        stagedStart_ = stagedEnd_ = offset + stride_;
    }
    stagedStart_ -= stride_;
    uint8_t* slot = staging_.data() + (staging_.size() - (stagedEnd_ - stagedStart_));
    std::memcpy(slot, row, static_cast<size_t>(rowBytes_));
    std::memset(slot + rowBytes_, 0, static_cast<size_t>(pad));
    return true;
}

bool BmpWriter::finish() {
    flushStaged();
    return ok_;
}

}  // namespace wzx
