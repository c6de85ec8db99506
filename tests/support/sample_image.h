// A small valid image that goes through every path of the block data, and
// where each of its chunks lies, for the tests (and the fuzz seeds) that
// damage it byte by byte.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "support/wzx_builder.h"

namespace wzx::test {

// Packs literal and match items behind their flag bytes, least significant
// flag bit first, so that compressed fixtures read as the items they hold.
class ItemWriter {
  public:
    void literal(uint8_t c) {
        announce(false);
        out_.push_back(c);
    }
    // position is an absolute ring index; length 3..273.
    void match(uint32_t position, unsigned length) {
        announce(true);
        out_.push_back(static_cast<uint8_t>(position));
        uint8_t high = static_cast<uint8_t>((position >> 8) & 0x0F);
        if (length <= 17) {
            out_.push_back(static_cast<uint8_t>(((length - 3) << 4) | high));
        } else {
            out_.push_back(static_cast<uint8_t>(0xF0 | high));
            out_.push_back(static_cast<uint8_t>(length - 18));
        }
    }
    const Bytes& bytes() const { return out_; }

  private:
    void announce(bool isMatch) {
        if (bitsUsed_ == 8) {
            flagAt_ = out_.size();
            out_.push_back(0);
            bitsUsed_ = 0;
        }
        if (isMatch) out_[flagAt_] = static_cast<uint8_t>(out_[flagAt_] | (1u << bitsUsed_));
        ++bitsUsed_;
    }

    Bytes out_;
    size_t flagAt_ = 0;
    unsigned bitsUsed_ = 8;
};

// Where one chunk lies in a file: its 5 header bytes start at `header`, its
// data ends just before `end`.
struct ChunkSpan {
    uint64_t block;
    unsigned channel;
    size_t header;
    size_t end;
};

struct SampleImage {
    Bytes file;
    std::vector<ChunkSpan> chunks;  // in file order
    uint8_t colours;
    int32_t width, height, blockHeight;
    uint64_t capacity;  // width × block height + 10, the largest chunk allowed
};

// 6 × 5 pixels in blocks of 2 rows, so the last block is short. Per block:
// blue is compressed (two literals and a match overlapping its own output),
// green stored, red compressed (a length-escape match reaching back into
// block 0's blue, expanding to more bytes than the rows use), alpha stored
// with mark 255.
inline SampleImage sampleImage(uint8_t colours) {
    SampleImage s{imageStart(colours, 6, 5, 2), {}, colours, 6, 5, 2, 6 * 2 + 10};
    uint32_t r = 0;  // the ring's write position, to aim the matches
    auto add = [&s](uint64_t block, unsigned channel, uint8_t mark, const Bytes& data) {
        size_t at = s.file.size();
        appendChunk(s.file, mark, data);
        s.chunks.push_back({block, channel, at, s.file.size()});
    };
    for (uint64_t b = 0; b * 2 < 5; ++b) {
        unsigned n = static_cast<unsigned>(std::min<uint64_t>(2, 5 - b * 2)) * 6;
        ItemWriter blue;
        blue.literal(static_cast<uint8_t>(10 + b));
        blue.literal(static_cast<uint8_t>(20 + b));
        blue.match(r & 0xFFF, n - 2);
        r += n;
        add(b, 0, 0, blue.bytes());
        Bytes green(n);
        for (unsigned i = 0; i < n; ++i) green[i] = static_cast<uint8_t>(i * 3 + b);
        add(b, 1, 1, green);
        ItemWriter red;
        red.match(0, 18);
        red.literal(static_cast<uint8_t>(b));
        r += 19;
        add(b, 2, 0, red.bytes());
        if (colours == 4) {
            Bytes alpha(n);
            for (unsigned i = 0; i < n; ++i) alpha[i] = static_cast<uint8_t>(255 - i);
            add(b, 3, 255, alpha);
        }
    }
    return s;
}

// The layout of any valid file: its header fields and where each chunk
// lies, found by walking the chunk headers past the block-size table.
inline SampleImage describeImage(const Bytes& file) {
    SampleImage s{file, {}, file[11], 0, 0, 0, 0};
    auto le32 = [&file](size_t at) {
        return static_cast<int32_t>(file[at] | file[at + 1] << 8 | file[at + 2] << 16 |
                                    static_cast<uint32_t>(file[at + 3]) << 24);
    };
    s.width = le32(12);
    s.height = le32(16);
    s.blockHeight = le32(20);
    s.capacity = static_cast<uint64_t>(s.width) * static_cast<uint64_t>(s.blockHeight) + 10;
    uint64_t blocks = s.height > 0 ? static_cast<uint64_t>((s.height - 1) / s.blockHeight) + 1 : 0;
    size_t at = 24 + 4 * blocks;
    for (uint64_t b = 0; b < blocks; ++b) {
        for (unsigned c = 0; c < s.colours && at + 5 <= file.size(); ++c) {
            size_t end = at + 5 + static_cast<size_t>(le32(at + 1));
            s.chunks.push_back({b, c, at, end});
            at = end;
        }
    }
    return s;
}

}  // namespace wzx::test
