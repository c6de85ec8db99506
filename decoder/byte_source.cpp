// Memory-backed input stream.
#include "decoder/byte_source.h"

#include <cstring>

namespace wzx {

size_t MemorySource::read(uint8_t* dst, size_t n) {
    size_t left = size_ - pos_;
    size_t take = n < left ? n : left;
    if (take > 0) std::memcpy(dst, data_ + pos_, take);
    pos_ += take;
    return take;
}

void MemorySource::skip(uint64_t n) {
    size_t left = size_ - pos_;
    pos_ += n < left ? static_cast<size_t>(n) : left;
}

}  // namespace wzx
