// Reads back the pixels of a BMP the converter wrote, top row first, so
// that tests compare pixels rather than file offsets.
#pragma once

#include <cstdint>
#include <vector>

#include "decoder/byte_order.h"

namespace wzx::test {

struct BmpPixels {
    bool ok = false;
    int32_t width = 0;
    int32_t height = 0;
    unsigned channels = 0;
    std::vector<uint8_t> pixels;  // top row first, no padding
};

inline BmpPixels readBmp(const std::vector<uint8_t>& file) {
    BmpPixels out;
    if (file.size() < 54 || file[0] != 'B' || file[1] != 'M') return out;
    out.width = loadLe32Signed(file.data() + 18);
    out.height = loadLe32Signed(file.data() + 22);
    out.channels = loadLe16(file.data() + 28) / 8u;
    if (out.width < 0 || out.height < 0 || (out.channels != 3 && out.channels != 4)) return out;
    size_t rowBytes = static_cast<size_t>(out.width) * out.channels;
    size_t stride = (rowBytes + 3) / 4 * 4;
    if (file.size() != 54 + stride * static_cast<size_t>(out.height)) return out;
    for (int32_t y = 0; y < out.height; ++y) {
        const uint8_t* row = file.data() + 54 + stride * static_cast<size_t>(out.height - 1 - y);
        out.pixels.insert(out.pixels.end(), row, row + rowBytes);
    }
    out.ok = true;
    return out;
}

}  // namespace wzx::test
