// Test helpers: decoding through the library, BMP comparison, and plain
// walks over the container and the item stream, written apart from the
// encoder so that it is never checked against itself.
#include "encoder_test_support.h"

#include "bmp/bmp_writer.h"
#include "decoder/byte_order.h"

namespace wzxtest {

Conversion convertBytes(const std::vector<uint8_t>& wzxFile) {
    wzx::MemorySource source(wzxFile);
    wzx::MemorySink sink;
    Conversion c;
    c.result = wzx::convertFile(source, sink);
    c.bmp = sink.bytes();
    return c;
}

std::string bmpDifference(const wzxtools::Picture& want, const std::vector<uint8_t>& bmp) {
    const size_t rowBytes = static_cast<size_t>(want.width) * want.channels;
    const size_t stride = (rowBytes + 3) / 4 * 4;
    const size_t height = static_cast<size_t>(want.height);
    const size_t size = wzx::kBmpHeaderSize + stride * height;
    if (bmp.size() != size)
        return "BMP size: have " + std::to_string(bmp.size()) + ", want " + std::to_string(size);
    for (size_t y = 0; y < height; ++y) {
        // Image row y is stored (height - 1 - y) rows from the pixel start.
        const uint8_t* fileRow = bmp.data() + wzx::kBmpHeaderSize + (height - 1 - y) * stride;
        const uint8_t* wantRow = want.pixels.data() + y * rowBytes;
        for (size_t i = 0; i < stride; ++i) {
            unsigned have = fileRow[i];
            unsigned expect = i < rowBytes ? wantRow[i] : 0;
            if (have != expect)
                return "row " + std::to_string(y) + " pixel " + std::to_string(i / want.channels) +
                       " byte " + std::to_string(i % want.channels) +
                       (i < rowBytes ? "" : " (pad)") + ": have " + std::to_string(have) +
                       ", want " + std::to_string(expect);
        }
    }
    return {};
}

std::vector<Item> parseItems(const std::vector<uint8_t>& chunk, bool& ok) {
    std::vector<Item> items;
    ok = true;
    size_t pos = 0;
    unsigned flags = 0, left = 0;
    while (pos < chunk.size()) {
        if (left == 0) {
            flags = chunk[pos++];
            left = 8;
            if (pos == chunk.size()) ok = false;  // flag byte with no item
        }
        Item item;
        item.isMatch = flags & 1u;
        flags >>= 1;
        --left;
        size_t need = item.isMatch ? 2 : 1;
        if (item.isMatch && pos + 1 < chunk.size() && (chunk[pos + 1] >> 4) == 15) need = 3;
        if (chunk.size() - pos < need) {
            ok = false;
            break;
        }
        if (item.isMatch) {
            item.position = chunk[pos] | ((chunk[pos + 1] & 0x0Fu) << 8);
            item.length = need == 3 ? chunk[pos + 2] + 18u : (chunk[pos + 1] >> 4) + 3u;
        } else {
            item.literal = chunk[pos];
            item.length = 1;
        }
        pos += need;
        items.push_back(item);
    }
    return items;
}

FileLayout walkFile(const std::vector<uint8_t>& file) {
    FileLayout layout;
    if (file.size() < wzx::kImageHeaderSize) return layout;
    layout.header = wzx::parseImageHeader(file.data());
    const wzx::ImageHeader& h = layout.header;
    if (h.blockHeight <= 0 || h.height < 0) return layout;
    const int64_t entries = (int64_t{h.height} - 1) / h.blockHeight + 1;
    size_t pos = wzx::kImageHeaderSize;
    for (int64_t i = 0; i < entries; ++i, pos += 4) {
        if (file.size() - pos < 4) return layout;
        layout.blockSizes.push_back(wzx::loadLe32(file.data() + pos));
    }
    const int64_t blocks = h.height == 0 ? 0 : entries;
    for (int64_t i = 0; i < blocks * h.colourCount; ++i) {
        if (file.size() - pos < wzx::kChunkHeaderSize) return layout;
        ChunkInfo c;
        c.mark = file[pos];
        c.size = wzx::loadLe32Signed(file.data() + pos + 1);
        c.dataOffset = pos + wzx::kChunkHeaderSize;
        if (c.size < 0 || file.size() - c.dataOffset < static_cast<size_t>(c.size)) return layout;
        pos = c.dataOffset + static_cast<size_t>(c.size);
        layout.chunks.push_back(c);
    }
    layout.ok = pos == file.size();
    return layout;
}

}  // namespace wzxtest
