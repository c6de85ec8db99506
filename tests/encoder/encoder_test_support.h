// Helpers the encoder tests share: running the real decoder over an encoded
// file, comparing its BMP with the source picture, and taking an encoded
// file or a compressed chunk apart into its parts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "decoder/container.h"
#include "tools/picture.h"

namespace wzxtest {

struct Conversion {
    wzx::ConvertResult result;
    std::vector<uint8_t> bmp;
};

// wzx::convertFile over memory.
Conversion convertBytes(const std::vector<uint8_t>& wzxFile);

// Empty when bmp is exactly the bottom-up, zero-padded BMP of want's
// pixels; otherwise the first difference, as have/want.
std::string bmpDifference(const wzxtools::Picture& want, const std::vector<uint8_t>& bmp);

// One item of a compressed chunk.
struct Item {
    bool isMatch = false;
    uint8_t literal = 0;
    uint32_t position = 0;  // ring position of a match
    uint32_t length = 0;    // 1 for a literal
};

// The items of a compressed chunk; ok is false when the last item is cut
// or a flag byte ends the chunk.
std::vector<Item> parseItems(const std::vector<uint8_t>& chunk, bool& ok);

struct ChunkInfo {
    uint8_t mark = 0;
    int32_t size = 0;
    size_t dataOffset = 0;  // into the file
};

// The container's parts, walked without the decoder.
struct FileLayout {
    bool ok = false;  // every part present, nothing left over
    wzx::ImageHeader header;
    std::vector<uint32_t> blockSizes;  // the block-size table
    std::vector<ChunkInfo> chunks;     // in file order
};

FileLayout walkFile(const std::vector<uint8_t>& file);

}  // namespace wzxtest
