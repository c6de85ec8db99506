// Inputs for the micro-benchmarks, made by the project's encoder: a
// photograph-like picture (smooth shading under fine grain, which leaves
// many literals and short matches) and the encoder's drawn illustration
// (long runs and repeats), both cut into the compressed chunks the decoder
// meets, in file order.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/picture.h"

namespace wzxbench {

enum class Content { photographLike, illustrationLike };

wzxtools::Picture makeBenchPicture(Content content, int32_t width, int32_t height,
                                   unsigned channels);

struct EncodedChunk {
    std::vector<uint8_t> data;  // stored bytes of a compressed chunk
    uint64_t expandedBytes = 0;
};

// The compressed chunks of the picture encoded at block height 32, in file
// order; stored ones, which never touch the window, are left out.
std::vector<EncodedChunk> encodeChunks(const wzxtools::Picture& picture);

}  // namespace wzxbench
