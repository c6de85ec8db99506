// Expansion of compressed chunks through the shared history ring.
#include "decoder/sliding_window.h"

namespace wzx {

namespace {

// Reading cursor over one chunk's stored bytes. Bytes asked for past the
// end count as 0 and mark the item as cut, so no read leaves the buffer.
struct ChunkCursor {
    const uint8_t* data;
    size_t length;
    size_t pos = 0;
    bool cut = false;

    uint8_t next() {
        if (pos < length) return data[pos++];
        cut = true;
        return 0;
    }
};

// Stores one expanded byte in the ring and, while room is left, the output.
struct Expander {
    SlidingWindow& w;
    uint8_t* out;
    size_t capacity;
    uint64_t produced = 0;

    void emit(uint8_t c) {
        w.ring[w.r] = c;
        w.r = (w.r + 1) & kWindowMask;
        if (produced < capacity) out[produced] = c;
        ++produced;
    }
};

void expandMatch(ChunkCursor& in, Expander& ex) {
    uint32_t b0 = in.next();
    uint32_t b1 = in.next();
    uint32_t p = b0 | ((b1 & 0x0F) << 8);
    uint32_t n = (b1 >> 4) + 3;
    if (n == 18) n = in.next() + 18u;
    for (uint32_t i = 0; i < n; ++i) {
        ex.emit(ex.w.ring[p]);
        p = (p + 1) & kWindowMask;
    }
}

}  // namespace

ChunkExpansion decompressChunkPlain(SlidingWindow& window, const uint8_t* data, size_t length,
                                    uint8_t* out, size_t capacity) {
    ChunkCursor in{data, length};
    Expander ex{window, out, capacity};
    unsigned flags = 0;
    unsigned flagBitsLeft = 0;
    while (in.pos < in.length) {
        if (flagBitsLeft == 0) {
            flags = in.next();
            flagBitsLeft = 8;
        }
        bool isMatch = flags & 1u;
        flags >>= 1;
        --flagBitsLeft;
        if (isMatch) {
            expandMatch(in, ex);
        } else {
            ex.emit(in.next());
        }
    }
    return {ex.produced, in.cut};
}

ChunkExpansion decompressChunk(SlidingWindow& window, const uint8_t* data, size_t length,
                               uint8_t* out, size_t capacity) {
    return decompressChunkPlain(window, data, length, out, capacity);
}

}  // namespace wzx
