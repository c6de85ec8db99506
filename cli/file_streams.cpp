// The input's buffering, the same on every platform: small reads come
// from a buffer, large ones go straight to the caller's memory, and skips
// within the buffer cost no system call.
#include <cstring>

#include "cli/file_streams.h"

namespace wzx {

namespace {

constexpr size_t kInputBufferBytes = 256 * 1024;

}  // namespace

void InputFile::startBuffer() {
    buffer_.resize(kInputBufferBytes);
    bufferPos_ = bufferEnd_ = 0;
}

size_t InputFile::refill() {
    bufferPos_ = 0;
    bufferEnd_ = readDirect(buffer_.data(), buffer_.size());
    return bufferEnd_;
}

size_t InputFile::read(uint8_t* dst, size_t n) {
    if (handle_ == -1) return 0;
    size_t got = 0;
    size_t buffered = bufferEnd_ - bufferPos_;
    if (buffered > 0) {
        got = n < buffered ? n : buffered;
        std::memcpy(dst, buffer_.data() + bufferPos_, got);
        bufferPos_ += got;
    }
    if (got == n || readError_ != 0) return got;
    // Large requests bypass the buffer; small ones refill it.
    if (n - got >= buffer_.size()) return got + readDirect(dst + got, n - got);
    size_t more = refill();
    size_t take = n - got < more ? n - got : more;
    std::memcpy(dst + got, buffer_.data(), take);
    bufferPos_ = take;
    return got + take;
}

void InputFile::skip(uint64_t n) {
    if (handle_ == -1) return;
    size_t buffered = bufferEnd_ - bufferPos_;
    if (n <= buffered) {
        bufferPos_ += static_cast<size_t>(n);
        return;
    }
    bufferPos_ = bufferEnd_ = 0;
    seekForward(n - buffered);
}

}  // namespace wzx
