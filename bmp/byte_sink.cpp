// Memory-backed output store.
#include "bmp/byte_sink.h"

#include <cstring>

namespace wzx {

bool MemorySink::writeAt(uint64_t offset, const uint8_t* src, size_t n) {
    ++writeCalls_;
    if (offset > bytes_.max_size() || n > bytes_.max_size() - offset) return false;
    size_t end = static_cast<size_t>(offset) + n;
    if (end > bytes_.size()) bytes_.resize(end, 0);
    if (n > 0) std::memcpy(bytes_.data() + offset, src, n);
    return true;
}

}  // namespace wzx
