// The smallest whole image, a single pixel in stored chunks, and the BMP it
// converts to, written out by hand: the fixture of the command-line tests
// that care about files and messages rather than pixels.
#pragma once

#include "support/wzx_builder.h"

namespace wzx::test {

// A 1 × 1 image of stored chunks 1, 2, 3: blue 1 + 2, green 2, red 3 + 2.
inline Bytes tinyImage() {
    Bytes b = imageStart(3, 1, 1, 1);
    appendStored(b, {1});
    appendStored(b, {2});
    appendStored(b, {3});
    return b;
}

// Its BMP: 54 header bytes, then the pixel and one pad byte.
inline Bytes tinyBmp() {
    return {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,         // file header
            40,  0,   0, 0, 1, 0, 0, 0, 1, 0, 0,  0, 1, 0, 24, 0,  // size, w, h, planes, bits
            0,   0,   0, 0, 0, 0, 0, 0, 0, 0, 0,  0, 0, 0, 0,  0,
            0,   0,   0, 0, 0, 0, 0, 0, 3, 2, 5,  0};  // the pixel, then one pad byte
}

}  // namespace wzx::test
