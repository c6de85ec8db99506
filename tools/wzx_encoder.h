// Writes pictures as WZX5 "raw" files (layout in decoder/container.h), the
// inverse of wzx::convertFile. It exists so that tests, samples and
// benchmarks can make their own inputs; wzx2bmp itself never encodes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tools/picture.h"
#include "tools/window_compressor.h"

namespace wzxtools {

enum class ChunkMode {
    compressed,  // every chunk compressed, unless that outgrows the chunk buffer
    stored,      // every chunk as is
    mixed,       // stored and compressed chunks alternate in file order
};

const char* chunkModeName(ChunkMode mode);

struct EncodeOptions {
    int32_t blockHeight = 32;
    ChunkMode mode = ChunkMode::compressed;
    uint8_t storedMark = 1;  // any non-zero value marks a stored chunk
};

// Largest chunk the encoder writes, so that a block of four chunks and
// their headers still fits the 32-bit entry of the block-size table.
inline constexpr uint64_t kMaxChunkBytes = 0x3FFFFFF0;

// Why a picture cannot be encoded with these options, or nullptr.
const char* checkEncodable(const Picture& picture, const EncodeOptions& options);

// The whole file; empty when checkEncodable refuses the input.
std::vector<uint8_t> encodeWzx(const Picture& picture, const EncodeOptions& options);

// The steps of encodeWzx, each appending to out.
void writeContainerHeader(const Picture& picture, int32_t blockHeight, std::vector<uint8_t>& out);
// Entries of the block-size table: (height - 1) / block height + 1,
// truncating, so a picture of height 0 still has one (and no block).
uint64_t blockTableEntries(int32_t height, int32_t blockHeight);
// The most bytes encodeWzx can produce for an encodable picture.
uint64_t encodedSizeBound(const Picture& picture, const EncodeOptions& options);
// Channel bytes of rows top .. top + rows - 1, channel c at
// planes + c × rows × width.
void predictBlock(const Picture& picture, int32_t top, int32_t rows, uint8_t* planes);
// One chunk: its 5-byte header and data, compressed into window when
// compress is set and the result stays within capacity, else stored.
void writeChunk(const uint8_t* data, size_t length, bool compress, uint64_t capacity,
                uint8_t storedMark, CompressionWindow& window, std::vector<uint8_t>& out);

}  // namespace wzxtools
