// Block decoding: chunk reading, expansion and row rebuilding.
#include "decoder/image_decoder.h"

#include <algorithm>
#include <cstring>

#include "decoder/row_reconstruction.h"

namespace wzx {

namespace {

// Reads exactly n bytes unless the input ends first; returns the count read.
size_t readFully(ByteSource& input, uint8_t* dst, size_t n) {
    size_t got = 0;
    while (got < n) {
        size_t step = input.read(dst + got, n - got);
        if (step == 0) break;
        got += step;
    }
    return got;
}

// Reads and drops n bytes; false when the input ends first. Skipping by
// reading, not seeking, is what tells a truncated chunk from a whole one.
bool discard(ByteSource& input, uint64_t n) {
    uint8_t scratch[4096];
    while (n > 0) {
        size_t step = static_cast<size_t>(std::min<uint64_t>(n, sizeof scratch));
        if (readFully(input, scratch, step) != step) return false;
        n -= step;
    }
    return true;
}

}  // namespace

ImageDecoder::ImageDecoder(const ImageHeader& header)
    : header_(header),
      channelCount_(header.colourCount),
      width_(static_cast<size_t>(header.width)),
      formatCapacity_(static_cast<uint64_t>(header.width) *
                          static_cast<uint64_t>(header.blockHeight) +
                      kBufferSlack),
      channelCapacity_(0) {
    if (header.height > 0) {
        uint64_t rows = static_cast<uint64_t>(std::min(header.blockHeight, header.height));
        channelCapacity_ = static_cast<size_t>(rows * width_ + kBufferSlack);
        channels_.assign(channelCapacity_ * channelCount_, 0);
        previousRow_.assign(width_ * channelCount_, 0);
    }
}

Damage ImageDecoder::readStoredChunk(ByteSource& input, uint8_t* dst, uint64_t size) {
    size_t keep = static_cast<size_t>(std::min<uint64_t>(size, channelCapacity_));
    if (readFully(input, dst, keep) != keep) return Damage::inputEndsEarly;
    // Bytes beyond the rows the image can hold are read but not kept.
    if (!discard(input, size - keep)) return Damage::inputEndsEarly;
    return Damage::none;
}

bool ImageDecoder::readIntoCompressedBuffer(ByteSource& input, uint64_t size) {
    // Grow with what the input really delivers, so that a short file
    // claiming a huge chunk cannot make us reserve memory it cannot fill.
    constexpr uint64_t kFirstStep = 64 * 1024;
    uint64_t got = 0;
    while (got < size) {
        uint64_t want = std::min(size, std::max(kFirstStep, got * 2));
        if (compressed_.size() < want) compressed_.resize(static_cast<size_t>(want));
        size_t n = static_cast<size_t>(want - got);
        size_t step = readFully(input, compressed_.data() + got, n);
        got += step;
        if (step != n) return false;
    }
    return true;
}

Damage ImageDecoder::readCompressedChunk(ByteSource& input, uint8_t* dst, uint64_t size) {
    if (!readIntoCompressedBuffer(input, size)) return Damage::inputEndsEarly;
    ChunkExpansion ex = decompressChunk(window_, compressed_.data(), static_cast<size_t>(size), dst,
                                        channelCapacity_);
    if (ex.itemCut) return Damage::itemCut;
    if (ex.produced > formatCapacity_) return Damage::expandsTooFar;
    return Damage::none;
}

Damage ImageDecoder::fillChannels(ByteSource& input, unsigned& failedChannel) {
    for (unsigned c = 0; c < channelCount_; ++c) {
        ChunkHeader chunk;
        Damage d = Damage::none;
        if (!readChunkHeader(input, chunk)) {
            d = Damage::inputEndsEarly;
        } else if (chunk.size < 0) {
            d = Damage::negativeChunkSize;
        } else if (static_cast<uint64_t>(chunk.size) > formatCapacity_) {
            d = Damage::chunkTooLarge;
        } else if (chunk.mark != 0) {
            d = readStoredChunk(input, channel(c), static_cast<uint64_t>(chunk.size));
        } else {
            d = readCompressedChunk(input, channel(c), static_cast<uint64_t>(chunk.size));
        }
        if (d != Damage::none) {
            failedChannel = c;
            return d;
        }
    }
    return Damage::none;
}

bool ImageDecoder::rebuildRows(int64_t top, int64_t rows, BmpWriter& writer) {
    const uint8_t* rowStart[4] = {};
    for (int64_t i = 0; i < rows; ++i) {
        for (unsigned c = 0; c < channelCount_; ++c)
            rowStart[c] = channel(c) + static_cast<size_t>(i) * width_;
        reconstructRow(rowStart, channelCount_, width_, previousRow_.data());
        if (!writer.placeRow(top + i, previousRow_.data())) return false;
    }
    return true;
}

BlockStageResult ImageDecoder::decodeBlocks(ByteSource& input, BmpWriter& writer) {
    BlockStageResult result;
    const int64_t height = header_.height;
    const int64_t blockHeight = header_.blockHeight;
    uint64_t block = 0;
    for (int64_t top = 0; top < height; top += blockHeight, ++block) {
        int64_t rows = std::min(blockHeight, height - top);
        if (result.damage.what == Damage::none) {
            unsigned failedChannel = 0;
            Damage d = fillChannels(input, failedChannel);
            if (d != Damage::none) {
                result.damage = {d, block, failedChannel};
                std::fill(channels_.begin(), channels_.end(), uint8_t{0});
            }
        }
        // Rows of width 0 are empty and place nothing; walking them one by
        // one would let a header alone claim billions of idle steps.
        if (width_ == 0) {
            // Once damaged, no later block reads anything either.
            if (result.damage.what != Damage::none) break;
            continue;
        }
        if (!rebuildRows(top, rows, writer)) {
            result.outputOk = false;
            return result;
        }
    }
    return result;
}

}  // namespace wzx
