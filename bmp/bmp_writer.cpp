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
    staging_.clear();
    if (stride_ > 0 && stride_ <= kStagingBytes && height > 0) {
        // No more rows than the image has: a small image gets a small area.
        uint64_t rows = std::min<uint64_t>(kStagingBytes / stride_, static_cast<uint64_t>(height));
        staging_.assign(static_cast<size_t>(rows * stride_), 0);
    }
    slot_ = staging_.data() + staging_.size();
    stagedEnd_ = 0;
    nextRow_ = kNoRow;
    ok_ = out_.writeAt(0, header, sizeof header);
    return ok_;
}

bool BmpWriter::flushStaged() {
    uint8_t* end = staging_.data() + staging_.size();
    if (slot_ != end) {
        size_t n = static_cast<size_t>(end - slot_);
        if (!out_.writeAt(stagedEnd_ - n, slot_, n)) ok_ = false;
    }
    slot_ = end;
    nextRow_ = kNoRow;
    return ok_;
}

bool BmpWriter::placeRowSlowly(int64_t y, const uint8_t* row) {
    if (!ok_) return false;
    if (y < 0 || y >= height_) return true;  // no such row in this image
    if (stride_ == 0) return true;           // width 0: rows are empty
    uint64_t offset = pixelOffset_ + static_cast<uint64_t>(height_ - 1 - y) * stride_;

    if (staging_.empty()) {
        // Rows larger than the staging area go out directly.
        static const uint8_t zeros[4] = {0, 0, 0, 0};
        uint64_t pad = stride_ - rowBytes_;
        ok_ = out_.writeAt(offset, row, static_cast<size_t>(rowBytes_)) &&
              out_.writeAt(offset + rowBytes_, zeros, static_cast<size_t>(pad));
        return ok_;
    }
    if (!makeRoom(offset)) return false;
    stageRow(y, row);
    return true;
}

bool BmpWriter::makeRoom(uint64_t offset) {
    size_t staged = static_cast<size_t>(staging_.data() + staging_.size() - slot_);
    bool continuesRun = staged > 0 && offset + stride_ == stagedEnd_ - staged;
    bool fits = slot_ != staging_.data();
    if (continuesRun && fits) return true;
    if (!flushStaged()) return false;
    stagedEnd_ = offset + stride_;
    return true;
}

uint8_t* BmpWriter::stageRows(int64_t y, int64_t want, int64_t& granted) {
    granted = 0;
    if (!ok_ || y < 0 || y >= height_ || want <= 0 || staging_.empty()) return nullptr;
    if (y != nextRow_ || slot_ == staging_.data()) {
        if (!makeRoom(pixelOffset_ + static_cast<uint64_t>(height_ - 1 - y) * stride_))
            return nullptr;
    }
    int64_t room = static_cast<int64_t>(static_cast<size_t>(slot_ - staging_.data()) / stride_);
    granted = std::min({want, room, height_ - y});
    uint8_t* first = slot_ - stride_;
    slot_ -= static_cast<size_t>(granted) * stride_;
    nextRow_ = y + granted < height_ ? y + granted : kNoRow;
    return first;
}

bool BmpWriter::finish() {
    flushStaged();
    return ok_;
}

}  // namespace wzx
