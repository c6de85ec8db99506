// The 4096-byte history ring of compressed chunks and its expansion.
//
// A compressed chunk is a run of groups: one flag byte, then up to eight
// items, one flag bit each, least significant bit first.
//   bit 0  literal: one byte c. Output c.
//   bit 1  match:   b0 b1 [b2]
//            position p = b0 | (b1 & 0x0F) << 8      absolute ring index
//            length   n = (b1 >> 4) + 3              3..17
//                     n = b2 + 18  if b1 >> 4 == 15  18..273
//          Output n bytes read from the ring at p, p+1, ... (mod 4096).
// Every output byte is also stored at the ring's write position r, which
// then advances (mod 4096). Each step reads ring[p] before writing ring[r],
// so a match that overlaps its own output repeats it, as a run.
//
// One ring serves every compressed chunk of an image, across channels and
// blocks; stored chunks never touch it. It starts all zero with r = 0.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace wzx {

inline constexpr size_t kWindowSize = 4096;
inline constexpr uint32_t kWindowMask = kWindowSize - 1;
// The longest item: a match with the length escape.
inline constexpr size_t kMaxMatchLength = 15 + 3 + 255;

struct SlidingWindow {
    std::array<uint8_t, kWindowSize> ring{};
    uint32_t r = 0;  // write position, always < kWindowSize
};

struct ChunkExpansion {
    // Bytes the items yielded, including those past the output capacity.
    uint64_t produced = 0;
    // The last item needed bytes beyond the chunk's end; they counted as 0.
    bool itemCut = false;
};

// Expands `length` stored bytes into out. At most `capacity` bytes are
// written to out; expansion beyond that still runs through the ring, so the
// window ends exactly as the items leave it. Never reads data[length] or
// beyond.
ChunkExpansion decompressChunk(SlidingWindow& window, const uint8_t* data, size_t length,
                               uint8_t* out, size_t capacity);

// The byte-at-a-time expansion, kept as the reference that the fast path is
// compared against. Same contract as decompressChunk.
ChunkExpansion decompressChunkPlain(SlidingWindow& window, const uint8_t* data, size_t length,
                                    uint8_t* out, size_t capacity);

}  // namespace wzx
