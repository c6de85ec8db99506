// An uncompressed picture in memory, and plain BMP reading and writing for
// it. This is the encoder's input: what wzx2bmp turns a .wzx back into, so
// the tests can compare a conversion's output against it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace wzxtools {

// Rows top first, pixels interleaved blue, green, red (, alpha), no row
// padding: pixels.size() == width × height × channels.
struct Picture {
    int32_t width = 0, height = 0;
    unsigned channels = 3;
    std::vector<uint8_t> pixels;
};

// A picture of the given shape with every byte 0; empty when the shape is
// negative or too large to hold.
Picture makeBlankPicture(int32_t width, int32_t height, unsigned channels);

// Bytes the pixels of such a picture take, or 0 with ok = false when the
// shape is negative or the product leaves size_t.
size_t pictureBytes(int32_t width, int32_t height, unsigned channels, bool& ok);

// Reads an uncompressed (BI_RGB) BMP of 24 or 32 bits per pixel, bottom-up
// or top-down. On failure returns false and says why in error.
bool readBmpPicture(const std::vector<uint8_t>& bytes, Picture& out, std::string& error);

// A bottom-up BMP of 24 or 32 bits per pixel holding the picture; empty
// when the pixel count does not match the shape.
std::vector<uint8_t> writeBmpPicture(const Picture& picture);

}  // namespace wzxtools
