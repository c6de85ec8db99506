// Small builders for hand-made WZX5 byte fixtures, so that a test shows the
// bytes it feeds the decoder instead of hiding them in an opaque blob.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "decoder/container.h"

namespace wzx::test {

using Bytes = std::vector<uint8_t>;

inline void appendLe32(Bytes& b, uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) b.push_back(static_cast<uint8_t>(v >> shift));
}

// The 24 header bytes, signature first.
inline Bytes imageHeader(uint8_t colours, int32_t width, int32_t height, int32_t blockHeight) {
    Bytes b(kSignature, kSignature + kSignatureSize);
    b.push_back(colours);
    appendLe32(b, static_cast<uint32_t>(width));
    appendLe32(b, static_cast<uint32_t>(height));
    appendLe32(b, static_cast<uint32_t>(blockHeight));
    return b;
}

// A whole file prefix: header plus a block-size table of zero entries.
inline Bytes imageStart(uint8_t colours, int32_t width, int32_t height, int32_t blockHeight) {
    Bytes b = imageHeader(colours, width, height, blockHeight);
    int64_t blocks = height > 0 && blockHeight > 0 ? (height - 1) / blockHeight + 1 : 0;
    for (int64_t i = 0; i < blocks; ++i) appendLe32(b, 0);
    return b;
}

inline void appendChunk(Bytes& b, uint8_t mark, const Bytes& data) {
    b.push_back(mark);
    appendLe32(b, static_cast<uint32_t>(data.size()));
    b.insert(b.end(), data.begin(), data.end());
}

inline void appendStored(Bytes& b, const Bytes& data) {
    appendChunk(b, 1, data);
}
inline void appendCompressed(Bytes& b, const Bytes& data) {
    appendChunk(b, 0, data);
}

// A chunk header whose size field says something other than the data.
inline void appendChunkHeader(Bytes& b, uint8_t mark, int32_t size) {
    b.push_back(mark);
    appendLe32(b, static_cast<uint32_t>(size));
}

// Compressed stream of plain literals: a 0 flag byte before each eight.
inline Bytes literals(const Bytes& data) {
    Bytes out;
    for (size_t i = 0; i < data.size(); ++i) {
        if (i % 8 == 0) out.push_back(0);
        out.push_back(data[i]);
    }
    return out;
}

inline Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

}  // namespace wzx::test
