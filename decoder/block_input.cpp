// Buffered, in-place reading of the block data.
#include "decoder/block_input.h"

#include <algorithm>
#include <cstring>

namespace wzx {

BlockInput::BlockInput(ByteSource& source) : source_(source), buffer_(new uint8_t[kBufferBytes]) {}

const uint8_t* BlockInput::refillAndTake(size_t n) {
    // Keep what is left at the front and fill the rest with one read, of at
    // least kMaxTake bytes since n <= kMaxTake.
    size_t left = end_ - pos_;
    std::memmove(buffer_.get(), buffer_.get() + pos_, left);
    pos_ = 0;
    end_ = left;
    size_t room = kBufferBytes - end_;
    while (room > 0) {
        size_t got = source_.read(buffer_.get() + end_, room);
        if (got == 0) break;
        end_ += got;
        room -= got;
    }
    if (end_ < n) return nullptr;
    pos_ = n;
    return buffer_.get();
}

size_t BlockInput::read(uint8_t* dst, size_t n) {
    size_t got = std::min(n, end_ - pos_);
    if (got > 0) std::memcpy(dst, buffer_.get() + pos_, got);
    pos_ += got;
    while (got < n) {
        size_t step = source_.read(dst + got, n - got);
        if (step == 0) break;
        got += step;
    }
    return got;
}

bool BlockInput::discard(uint64_t n) {
    uint64_t buffered = std::min<uint64_t>(n, end_ - pos_);
    pos_ += static_cast<size_t>(buffered);
    n -= buffered;
    while (n > 0) {
        size_t step = static_cast<size_t>(std::min<uint64_t>(n, kMaxTake));
        if (take(step) == nullptr) return false;
        n -= step;
    }
    return true;
}

}  // namespace wzx
