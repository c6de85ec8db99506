// The encoder's steps: header, block-size table, then per block the
// prediction of its rows and one chunk per channel.
#include "tools/wzx_encoder.h"

#include <algorithm>
#include <cstring>

#include "decoder/byte_order.h"
#include "decoder/container.h"
#include "tools/forward_prediction.h"

namespace wzxtools {

namespace {

// Whether the chunk at this place in file order is compressed.
bool compressesChunk(ChunkMode mode, uint64_t chunkIndex) {
    switch (mode) {
        case ChunkMode::compressed:
            return true;
        case ChunkMode::stored:
            return false;
        case ChunkMode::mixed:
            // Every stored chunk then sits between two compressed ones, and
            // each channel meets both kinds from block to block.
            return chunkIndex % 2 == 0;
    }
    return true;
}

void appendChunkHeader(uint8_t mark, uint32_t size, std::vector<uint8_t>& out) {
    uint8_t header[wzx::kChunkHeaderSize];
    header[0] = mark;
    wzx::storeLe32(header + 1, size);
    out.insert(out.end(), header, header + sizeof header);
}

}  // namespace

const char* chunkModeName(ChunkMode mode) {
    switch (mode) {
        case ChunkMode::compressed:
            return "compressed";
        case ChunkMode::stored:
            return "stored";
        case ChunkMode::mixed:
            return "mixed";
    }
    return "unknown";
}

const char* checkEncodable(const Picture& picture, const EncodeOptions& options) {
    if (picture.channels != 3 && picture.channels != 4) return "channel count must be 3 or 4";
    if (picture.width < 0 || picture.height < 0) return "width and height must not be negative";
    bool ok = false;
    size_t bytes = pictureBytes(picture.width, picture.height, picture.channels, ok);
    if (!ok || bytes != picture.pixels.size())
        return "pixel buffer size does not match width x height x channels";
    if (options.blockHeight < 1) return "block height must be at least 1";
    if (options.storedMark == 0) return "stored mark must not be 0, which marks compressed chunks";
    uint64_t rows = static_cast<uint64_t>(std::min(options.blockHeight, picture.height));
    if (rows != 0 && static_cast<uint64_t>(picture.width) > kMaxChunkBytes / rows)
        return "one block of one channel would exceed the largest chunk";
    return nullptr;
}

void writeContainerHeader(const Picture& picture, int32_t blockHeight, std::vector<uint8_t>& out) {
    uint8_t header[wzx::kImageHeaderSize];
    std::memcpy(header, wzx::kSignature, wzx::kSignatureSize);
    header[11] = static_cast<uint8_t>(picture.channels);
    wzx::storeLe32(header + 12, static_cast<uint32_t>(picture.width));
    wzx::storeLe32(header + 16, static_cast<uint32_t>(picture.height));
    wzx::storeLe32(header + 20, static_cast<uint32_t>(blockHeight));
    out.insert(out.end(), header, header + sizeof header);
}

uint64_t blockTableEntries(int32_t height, int32_t blockHeight) {
    return static_cast<uint64_t>((int64_t{height} - 1) / blockHeight + 1);
}

uint64_t encodedSizeBound(const Picture& picture, const EncodeOptions& options) {
    const uint64_t width = static_cast<uint64_t>(picture.width);
    const uint64_t capacity =
        width * static_cast<uint64_t>(options.blockHeight) + wzx::kBufferSlack;
    uint64_t bound =
        wzx::kImageHeaderSize + 4 * blockTableEntries(picture.height, options.blockHeight);
    for (int64_t top = 0; top < picture.height; top += options.blockHeight) {
        uint64_t raw = width * static_cast<uint64_t>(
                                   std::min<int64_t>(options.blockHeight, picture.height - top));
        // A flag byte per eight items, and no item is longer than its bytes.
        uint64_t chunk = std::min(capacity, raw + (raw + 7) / 8);
        bound += picture.channels * (wzx::kChunkHeaderSize + std::max(raw, chunk));
    }
    return bound;
}

void predictBlock(const Picture& picture, int32_t top, int32_t rows, uint8_t* planes) {
    const size_t width = static_cast<size_t>(picture.width);
    const size_t rowBytes = width * picture.channels;
    const size_t planeBytes = static_cast<size_t>(rows) * width;
    for (int32_t i = 0; i < rows; ++i) {
        size_t y = static_cast<size_t>(top) + static_cast<size_t>(i);
        const uint8_t* row = picture.pixels.data() + y * rowBytes;
        const uint8_t* above = y > 0 ? row - rowBytes : nullptr;
        uint8_t* channel[4] = {};
        for (unsigned c = 0; c < picture.channels; ++c)
            channel[c] = planes + c * planeBytes + static_cast<size_t>(i) * width;
        predictRow(row, above, picture.channels, width, channel);
    }
}

void writeChunk(const uint8_t* data, size_t length, bool compress, uint64_t capacity,
                uint8_t storedMark, CompressionWindow& window, std::vector<uint8_t>& out) {
    const size_t headerAt = out.size();
    if (compress) {
        appendChunkHeader(0, 0, out);
        size_t limit = static_cast<size_t>(std::min(capacity, kMaxChunkBytes));
        if (compressChunk(window, data, length, limit, out)) {
            size_t size = out.size() - headerAt - wzx::kChunkHeaderSize;
            wzx::storeLe32(out.data() + headerAt + 1, static_cast<uint32_t>(size));
            return;
        }
        // Too large for the decoder's buffer: stored, and so outside the
        // window, which compressChunk has left as it was.
        out.resize(headerAt);
    }
    appendChunkHeader(storedMark, static_cast<uint32_t>(length), out);
    out.insert(out.end(), data, data + length);
}

std::vector<uint8_t> encodeWzx(const Picture& picture, const EncodeOptions& options) {
    if (checkEncodable(picture, options) != nullptr) return {};
    const size_t entries =
        static_cast<size_t>(blockTableEntries(picture.height, options.blockHeight));
    std::vector<uint8_t> out;
    // Big pictures are spared the copies of a growing buffer.
    out.reserve(static_cast<size_t>(encodedSizeBound(picture, options)));
    writeContainerHeader(picture, options.blockHeight, out);
    const size_t tableAt = out.size();
    out.resize(tableAt + entries * 4, 0);

    const size_t width = static_cast<size_t>(picture.width);
    const uint64_t capacity =
        static_cast<uint64_t>(width) * static_cast<uint64_t>(options.blockHeight) +
        wzx::kBufferSlack;
    const size_t blockRows = static_cast<size_t>(std::min(options.blockHeight, picture.height));
    std::vector<uint8_t> planes(picture.channels * blockRows * width);
    CompressionWindow window;
    uint64_t chunkIndex = 0;
    size_t block = 0;
    for (int64_t top = 0; top < picture.height; top += options.blockHeight, ++block) {
        int32_t rows =
            static_cast<int32_t>(std::min<int64_t>(options.blockHeight, picture.height - top));
        predictBlock(picture, static_cast<int32_t>(top), rows, planes.data());
        const size_t blockStart = out.size();
        const size_t planeBytes = static_cast<size_t>(rows) * width;
        for (unsigned c = 0; c < picture.channels; ++c, ++chunkIndex) {
            writeChunk(planes.data() + c * planeBytes, planeBytes,
                       compressesChunk(options.mode, chunkIndex), capacity, options.storedMark,
                       window, out);
        }
        // The decoder skips these sizes; other readers may use them to seek.
        wzx::storeLe32(out.data() + tableAt + block * 4,
                       static_cast<uint32_t>(out.size() - blockStart));
    }
    return out;
}

}  // namespace wzxtools
