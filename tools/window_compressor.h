// The encoder's half of the sliding-window scheme (decoder/sliding_window.h):
// a match search over the history every compressed chunk of an image
// shares, and the flag/literal/match items the decoder expands.
//
// The history is one stream: 4096 zero bytes (the decoder's initial ring),
// then the bytes of every compressed chunk in file order. Stream byte s
// sits at ring position s & 0xFFF when the decoder reads it, so a match at
// distance d from stream position s names ring position (s - d) & 0xFFF.
// Candidates come from hash chains over 3-byte prefixes, walked to a
// bounded depth, with one step of lazy matching.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "decoder/sliding_window.h"

namespace wzxtools {

inline constexpr size_t kMinMatchLength = 3;
inline constexpr unsigned kHashBits = 14;
inline constexpr size_t kHashSize = size_t{1} << kHashBits;

struct CompressionWindow {
    // Stream bytes base .. base + bytes.size(), always at least the last
    // 4096 before the chunk being compressed.
    std::vector<uint8_t> bytes;
    int64_t base = 0;
    // Every stream position below hashed is in the chains.
    int64_t hashed = 0;
    // Latest position per hash, -1 for none; prev[s & 0xFFF] is the
    // position before s with the same hash. Positions older than 4096 are
    // never followed, so the ring of links cannot hand out a stale one.
    std::vector<int64_t> head;
    std::array<int64_t, wzx::kWindowSize> prev{};
    // How many candidates one search may compare.
    unsigned chainDepth = 32;
    // Matches at least this long are taken without looking one byte ahead.
    size_t lazyLimit = 32;

    CompressionWindow();
};

// Appends the compressed form of data[0..length) to out as the image's next
// compressed chunk and advances the window, as the decoder's expansion will.
// Every item is complete and no flag byte comes without an item. When the
// compressed form would exceed maxBytes, returns false and leaves out and
// the window as they were, so that the chunk can be stored instead.
bool compressChunk(CompressionWindow& window, const uint8_t* data, size_t length, size_t maxBytes,
                   std::vector<uint8_t>& out);

}  // namespace wzxtools
