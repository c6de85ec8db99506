// Block decoding: chunk reading, expansion and row rebuilding.
#include "decoder/image_decoder.h"

#include <algorithm>
#include <cstring>

#include "decoder/row_reconstruction.h"

namespace wzx {

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

Damage ImageDecoder::readStoredChunk(BlockInput& input, uint8_t* dst, uint64_t size) {
    size_t keep = static_cast<size_t>(std::min<uint64_t>(size, channelCapacity_));
    if (input.read(dst, keep) != keep) return Damage::inputEndsEarly;
    // Bytes beyond the rows the image can hold are read but not kept.
    if (!input.discard(size - keep)) return Damage::inputEndsEarly;
    return Damage::none;
}

bool ImageDecoder::readIntoCompressedBuffer(BlockInput& input, uint64_t size) {
    // Grow with what the input really delivers, so that a short file
    // claiming a huge chunk cannot make us reserve memory it cannot fill.
    constexpr uint64_t kFirstStep = 64 * 1024;
    uint64_t got = 0;
    while (got < size) {
        uint64_t want = std::min(size, std::max(kFirstStep, got * 2));
        if (compressed_.size() < want) compressed_.resize(static_cast<size_t>(want));
        size_t n = static_cast<size_t>(want - got);
        size_t step = input.read(compressed_.data() + got, n);
        got += step;
        if (step != n) return false;
    }
    return true;
}

Damage ImageDecoder::readCompressedChunk(BlockInput& input, uint8_t* dst, uint64_t size) {
    // Chunks that fit the input's buffer are expanded where they lie.
    const uint8_t* data = nullptr;
    if (size <= BlockInput::kMaxTake) {
        data = input.take(static_cast<size_t>(size));
        if (data == nullptr) return Damage::inputEndsEarly;
    } else {
        if (!readIntoCompressedBuffer(input, size)) return Damage::inputEndsEarly;
        data = compressed_.data();
    }
    ChunkExpansion ex =
        decompressChunk(window_, data, static_cast<size_t>(size), dst, channelCapacity_);
    if (ex.itemCut) return Damage::itemCut;
    if (ex.produced > formatCapacity_) return Damage::expandsTooFar;
    return Damage::none;
}

Damage ImageDecoder::fillChannel(BlockInput& input, unsigned c) {
    const uint8_t* headerBytes = input.take(kChunkHeaderSize);
    if (headerBytes == nullptr) return Damage::inputEndsEarly;
    ChunkHeader chunk = parseChunkHeader(headerBytes);
    if (chunk.size < 0) return Damage::negativeChunkSize;
    uint64_t size = static_cast<uint64_t>(chunk.size);
    if (size > formatCapacity_) return Damage::chunkTooLarge;
    if (chunk.mark != 0) return readStoredChunk(input, channel(c), size);
    return readCompressedChunk(input, channel(c), size);
}

Damage ImageDecoder::fillChannels(BlockInput& input, unsigned& failedChannel) {
    for (unsigned c = 0; c < channelCount_; ++c) {
        Damage d = fillChannel(input, c);
        if (d != Damage::none) {
            failedChannel = c;
            return d;
        }
    }
    return Damage::none;
}

// Builds `count` rows from the one above straight into their slots in the
// writer's staging area (row i at slot + i × pitch); only the last goes back
// to the previous-row buffer.
void ImageDecoder::buildStagedRows(const uint8_t* rowStart[], size_t count, uint8_t* slot,
                                   ptrdiff_t pitch) {
    uint8_t* previous = previousRow_.data();
    if (width_ < kWideRowPixels) {
        // Narrow rows all in one loop: a narrow image has millions of them.
        if (channelCount_ == 4)
            reconstructNarrowRows<4>(rowStart, width_, count, previous, slot, pitch);
        else
            reconstructNarrowRows<3>(rowStart, width_, count, previous, slot, pitch);
        for (unsigned c = 0; c < channelCount_; ++c) rowStart[c] += count * width_;
        return;
    }
    const uint8_t* above = previous;
    for (size_t i = 0; i < count; ++i) {
        uint8_t* out = slot + static_cast<ptrdiff_t>(i) * pitch;
        reconstructRowInto(rowStart, channelCount_, width_, above, out);
        above = out;
        for (unsigned c = 0; c < channelCount_; ++c) rowStart[c] += width_;
    }
    std::memcpy(previous, above, previousRow_.size());
}

bool ImageDecoder::rebuildRows(int64_t top, int64_t rows, BmpWriter& writer) {
    const uint8_t* rowStart[4] = {};
    for (unsigned c = 0; c < channelCount_; ++c) rowStart[c] = channel(c);
    const ptrdiff_t pitch = -static_cast<ptrdiff_t>(writer.stride());
    for (int64_t done = 0; done < rows;) {
        int64_t granted = 0;
        uint8_t* slot = writer.stageRows(top + done, rows - done, granted);
        if (slot != nullptr) {
            buildStagedRows(rowStart, static_cast<size_t>(granted), slot, pitch);
            done += granted;
            continue;
        }
        // Rows too large to stage, or a failed output: one at a time.
        reconstructRow(rowStart, channelCount_, width_, previousRow_.data());
        if (!writer.placeRow(top + done, previousRow_.data())) return false;
        for (unsigned c = 0; c < channelCount_; ++c) rowStart[c] += width_;
        ++done;
    }
    return true;
}

BlockStageResult ImageDecoder::decodeBlocks(ByteSource& source, BmpWriter& writer) {
    BlockStageResult result;
    BlockInput input(source);
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
