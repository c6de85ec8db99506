// The block stage: reads each block's channel chunks into their buffers and
// rebuilds the block's rows into the BMP writer.
//
// Memory follows one block, never the image: one buffer per channel of
// min(block height, height) × width + 10 bytes, one row of pixels, the
// 4096-byte window, the block input's fixed buffer, and, for compressed
// chunks too large for that buffer, a compressed-data buffer that grows only
// with bytes actually read from the input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "bmp/bmp_writer.h"
#include "decoder/block_input.h"
#include "decoder/byte_source.h"
#include "decoder/container.h"
#include "decoder/sliding_window.h"

namespace wzx {

struct BlockStageResult {
    DamageReport damage;
    bool outputOk = true;
};

class ImageDecoder {
  public:
    // Acquires every buffer the image needs, all zero.
    explicit ImageDecoder(const ImageHeader& header);

    // Reads every block from input (positioned at the first chunk) and has
    // every row placed. From the first damaged block on, channel bytes count
    // as 0, so the rows below it repeat the last good row and the output
    // still gets its full length.
    BlockStageResult decodeBlocks(ByteSource& source, BmpWriter& writer);

    // Capacity of each channel buffer as allocated.
    size_t channelCapacity() const { return channelCapacity_; }

  private:
    Damage fillChannels(BlockInput& input, unsigned& failedChannel);
    Damage fillChannel(BlockInput& input, unsigned c);
    Damage readStoredChunk(BlockInput& input, uint8_t* dst, uint64_t size);
    Damage readCompressedChunk(BlockInput& input, uint8_t* dst, uint64_t size);
    bool readIntoCompressedBuffer(BlockInput& input, uint64_t size);
    bool rebuildRows(int64_t top, int64_t rows, BmpWriter& writer);
    void buildStagedRows(const uint8_t* rowStart[], size_t count, uint8_t* slot, ptrdiff_t pitch);
    uint8_t* channel(unsigned c) { return channels_.data() + c * channelCapacity_; }

    ImageHeader header_;
    unsigned channelCount_;
    size_t width_;
    // The buffer size the format allows a chunk: width × block height + 10.
    uint64_t formatCapacity_;
    // What is allocated per channel; smaller than formatCapacity_ when the
    // block height exceeds the image height.
    size_t channelCapacity_;
    std::vector<uint8_t> channels_;
    std::vector<uint8_t> compressed_;
    std::vector<uint8_t> previousRow_;
    SlidingWindow window_;
};

}  // namespace wzx
