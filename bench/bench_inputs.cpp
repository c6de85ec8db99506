// Builds the micro-benchmarks' pictures and splits their encoded files
// back into chunks.
#include "bench/bench_inputs.h"

#include <algorithm>

#include "decoder/byte_order.h"
#include "decoder/container.h"
#include "tools/picture_gen.h"
#include "tools/wzx_encoder.h"

namespace wzxbench {

namespace {

constexpr int32_t kBlockHeight = 32;

// Soft ramps under grain that changes every few pixels, which is what the
// prediction leaves of a photograph: small differences, some zero runs and
// short repeats, few long matches.
wzxtools::Picture makePhotographLike(int32_t width, int32_t height, unsigned channels) {
    wzxtools::Picture p = wzxtools::makeGradient(width, height, channels);
    wzxtools::SplitMix64 rng{42};
    const size_t pixels = p.pixels.size() / channels;
    int grain[4] = {0, 0, 0, 0};
    for (size_t i = 0; i < pixels; ++i) {
        uint64_t bits = rng.next();
        if (bits % 3 == 0) {
            for (unsigned c = 0; c < channels; ++c, bits >>= 8)
                grain[c] = static_cast<int>((bits >> 8) % 7) - 3;
        }
        for (unsigned c = 0; c < channels; ++c) {
            uint8_t& b = p.pixels[i * channels + c];
            b = static_cast<uint8_t>(b + grain[c]);
        }
    }
    return p;
}

}  // namespace

wzxtools::Picture makeBenchPicture(Content content, int32_t width, int32_t height,
                                   unsigned channels) {
    if (content == Content::photographLike) return makePhotographLike(width, height, channels);
    return wzxtools::makeIllustration(width, height, channels, 1);
}

std::vector<EncodedChunk> encodeChunks(const wzxtools::Picture& picture) {
    wzxtools::EncodeOptions options;
    options.blockHeight = kBlockHeight;
    std::vector<uint8_t> file = wzxtools::encodeWzx(picture, options);
    std::vector<EncodedChunk> chunks;
    size_t pos = wzx::kImageHeaderSize +
                 4 * static_cast<size_t>(wzxtools::blockTableEntries(picture.height, kBlockHeight));
    for (int32_t top = 0; top < picture.height; top += kBlockHeight) {
        uint64_t rows = static_cast<uint64_t>(std::min(kBlockHeight, picture.height - top));
        for (unsigned c = 0; c < picture.channels; ++c) {
            uint8_t mark = file[pos];
            size_t size = wzx::loadLe32(file.data() + pos + 1);
            pos += wzx::kChunkHeaderSize;
            if (mark == 0) {
                EncodedChunk chunk;
                chunk.data.assign(file.begin() + static_cast<long>(pos),
                                  file.begin() + static_cast<long>(pos + size));
                chunk.expandedBytes = rows * static_cast<uint64_t>(picture.width);
                chunks.push_back(std::move(chunk));
            }
            pos += size;
        }
    }
    return chunks;
}

}  // namespace wzxbench
