// The compressor against the decoder's expansion: every chunk must expand
// to its bytes through the one shared ring, and the match search must find
// what a real search finds (runs, repeats, the initial zeros, bytes of
// earlier chunks).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "decoder/sliding_window.h"
#include "encoder_test_support.h"
#include "tools/picture_gen.h"
#include "tools/window_compressor.h"

namespace {

using Bytes = std::vector<uint8_t>;
constexpr size_t kNoLimit = size_t{1} << 40;

Bytes noise(size_t n, uint64_t seed) {
    wzxtools::SplitMix64 rng{seed};
    Bytes b(n);
    for (uint8_t& v : b) v = static_cast<uint8_t>(rng.next());
    return b;
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

Bytes run(size_t n, uint8_t v) {
    return Bytes(n, v);
}

// Text-like bytes from a small alphabet with many repeats of short words.
Bytes words(size_t n, uint64_t seed) {
    static const char* const kWords[] = {"the ", "window ", "ring ", "match ", "of ", "a "};
    wzxtools::SplitMix64 rng{seed};
    Bytes b;
    while (b.size() < n) {
        const char* w = kWords[rng.below(6)];
        b.insert(b.end(), w, w + std::char_traits<char>::length(w));
    }
    b.resize(n);
    return b;
}

// Expands one chunk with the decoder; have/want text on any mismatch.
std::string expandDifference(wzx::SlidingWindow& window, const Bytes& stored, const Bytes& want) {
    Bytes out(want.size() + 300, 0xEE);
    wzx::ChunkExpansion ex =
        wzx::decompressChunk(window, stored.data(), stored.size(), out.data(), out.size());
    if (ex.itemCut) return "last item cut by the end of the chunk";
    if (ex.produced != want.size())
        return "expanded to " + std::to_string(ex.produced) + " bytes, want " +
               std::to_string(want.size());
    for (size_t i = 0; i < want.size(); ++i)
        if (out[i] != want[i])
            return "byte " + std::to_string(i) + ": have " + std::to_string(out[i]) + ", want " +
                   std::to_string(want[i]);
    return {};
}

Bytes compressOne(wzxtools::CompressionWindow& w, const Bytes& data) {
    Bytes out;
    EXPECT_TRUE(wzxtools::compressChunk(w, data.data(), data.size(), kNoLimit, out));
    return out;
}

struct NamedInput {
    const char* name;
    Bytes data;
};

// Each input alone, as the first compressed chunk of an image.
TEST(WindowCompressor, SingleChunksExpandToTheirBytes) {
    const NamedInput inputs[] = {
        {"empty", {}},
        {"one byte", {0x41}},
        {"two bytes", {0x41, 0x42}},
        {"three zeros", run(3, 0)},
        {"eight literals", {1, 2, 3, 4, 5, 6, 7, 8}},
        {"run of 17 after a byte", concat({{9}, run(17, 7)})},
        {"run of 18 after a byte", concat({{9}, run(18, 7)})},
        {"run of 273 after a byte", concat({{9}, run(273, 7)})},
        {"run of 274 after a byte", concat({{9}, run(274, 7)})},
        {"zeros 100000", run(100000, 0)},
        {"period three", concat({{1, 2, 3}, {1, 2, 3}, {1, 2, 3}, {1, 2, 3}, {1, 2}})},
        {"words 20000", words(20000, 3)},
        {"noise 9000", noise(9000, 4)},
        {"noise repeated after 4096", concat({noise(4096, 5), noise(4096, 5)})},
        {"noise repeated after 4097", concat({noise(4097, 6), noise(4097, 6)})},
        {"run then noise then run", concat({run(500, 0xFF), noise(700, 7), run(500, 0xFF)})},
    };
    for (const NamedInput& in : inputs) {
        SCOPED_TRACE(in.name);
        wzxtools::CompressionWindow w;
        Bytes stored = compressOne(w, in.data);
        bool ok = false;
        wzxtest::parseItems(stored, ok);
        EXPECT_TRUE(ok) << "a flag byte without its item, or an item cut short";
        wzx::SlidingWindow ring;
        EXPECT_EQ(expandDifference(ring, stored, in.data), "");
        EXPECT_EQ(ring.r, in.data.size() % wzx::kWindowSize);
    }
}

// Many chunks of mixed content through one window and one ring, wrapping
// the ring several times: positions must stay in step across chunks.
TEST(WindowCompressor, ChunkSequenceExpandsThroughOneRing) {
    wzxtools::CompressionWindow w;
    wzx::SlidingWindow ring;
    wzxtools::SplitMix64 rng{11};
    for (int i = 0; i < 60; ++i) {
        SCOPED_TRACE("chunk " + std::to_string(i));
        size_t n = rng.below(3000);
        Bytes data;
        switch (i % 4) {
            case 0:
                data = words(n, static_cast<uint64_t>(i));
                break;
            case 1:
                data = noise(n, static_cast<uint64_t>(i));
                break;
            case 2:
                data = run(n, static_cast<uint8_t>(i));
                break;
            default:
                data = concat({words(n / 2, 1), noise(n - n / 2, 2)});
                break;
        }
        Bytes stored = compressOne(w, data);
        ASSERT_EQ(expandDifference(ring, stored, data), "");
    }
}

// Compressed sizes that a literal-only or chunk-local coder cannot reach.
TEST(WindowCompressor, FindsRunsRepeatsAndTheInitialZeros) {
    struct Case {
        const char* name;
        Bytes data;
        size_t most;  // bytes the compressed form may take at most
    };
    // A run of n costs one 3-byte match per 273 bytes plus a flag byte per
    // eight items.
    const Case cases[] = {
        // The ring starts zero, so zeros need no literal at all.
        {"1000 zeros from the start", run(1000, 0), 1 + 4 * 3},
        {"100000 ones", run(100000, 1), 2 + 367 * 3 + 46},
        {"1000 noise bytes four times",
         concat({noise(1000, 8), noise(1000, 8), noise(1000, 8), noise(1000, 8)}),
         1000 + 125 + 12 * 3 + 2},
    };
    for (const Case& k : cases) {
        wzxtools::CompressionWindow w;
        Bytes stored = compressOne(w, k.data);
        EXPECT_LE(stored.size(), k.most) << k.name << ": have " << stored.size();
    }
}

// The second chunk repeats the first: it must be coded as matches into the
// first chunk's bytes, which only the shared window makes possible.
TEST(WindowCompressor, MatchesReachIntoEarlierChunks) {
    const Bytes first = noise(1500, 21);
    wzxtools::CompressionWindow shared;
    Bytes a = compressOne(shared, first);
    Bytes b = compressOne(shared, first);
    wzxtools::CompressionWindow fresh;
    Bytes alone = compressOne(fresh, first);

    EXPECT_GE(alone.size(), first.size()) << "noise should not compress on its own";
    EXPECT_LE(b.size(), 1 + 6 * 3u) << "have " << b.size() << " bytes for a repeated chunk";
    bool ok = false;
    for (const wzxtest::Item& item : wzxtest::parseItems(b, ok))
        EXPECT_TRUE(item.isMatch) << "literal " << int{item.literal} << " in a repeated chunk";

    wzx::SlidingWindow ring;
    EXPECT_EQ(expandDifference(ring, a, first), "");
    EXPECT_EQ(expandDifference(ring, b, first), "");
}

// A chunk whose 3-byte prefix has many recent decoys: the longest match
// lies further down the chain than the first candidates.
TEST(WindowCompressor, WalksTheChainPastShorterCandidates) {
    const Bytes target = concat({{'A', 'B', 'C'}, noise(60, 31)});
    Bytes data = target;
    for (uint8_t d = 0; d < 12; ++d) data = concat({data, {'A', 'B', 'C', d}, noise(20, 40 + d)});
    data = concat({data, target});

    wzxtools::CompressionWindow w;
    Bytes stored = compressOne(w, data);
    bool ok = false;
    std::vector<wzxtest::Item> items = wzxtest::parseItems(stored, ok);
    ASSERT_TRUE(ok);
    ASSERT_FALSE(items.empty());
    const wzxtest::Item& last = items.back();
    EXPECT_TRUE(last.isMatch);
    EXPECT_EQ(last.length, target.size());
    // Stream position 4096 is where the chunk's first byte lives.
    EXPECT_EQ(last.position, 0u) << "the copy should start at the chunk's first byte";
    wzx::SlidingWindow ring;
    EXPECT_EQ(expandDifference(ring, stored, data), "");
}

// A chunk that does not fit its limit leaves no trace: the output and the
// window are as before, so the next chunk still lines up with a ring that
// never saw the refused bytes.
TEST(WindowCompressor, RefusedChunkLeavesTheWindowUntouched) {
    const Bytes text = noise(1500, 51);
    const Bytes refused = noise(2000, 52);
    wzxtools::CompressionWindow w;
    Bytes out = compressOne(w, text);
    const size_t before = out.size();
    EXPECT_FALSE(wzxtools::compressChunk(w, refused.data(), refused.size(), refused.size(), out));
    EXPECT_EQ(out.size(), before);
    Bytes again = compressOne(w, text);
    EXPECT_LE(again.size(), 1 + 6 * 3u) << "the repeat should be matches into the first chunk";
    // Matches into the repeat itself only line up if the refused bytes
    // never moved the write position.
    Bytes third = compressOne(w, text);

    wzx::SlidingWindow ring;
    Bytes first(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(before));
    EXPECT_EQ(expandDifference(ring, first, text), "");
    EXPECT_EQ(expandDifference(ring, again, text), "");
    EXPECT_EQ(expandDifference(ring, third, text), "");
}

// The limit is inclusive: a chunk whose compressed form is exactly the
// limit is accepted, one byte less refuses it.
TEST(WindowCompressor, LimitIsInclusive) {
    const Bytes data = noise(777, 61);
    wzxtools::CompressionWindow probe;
    const size_t size = compressOne(probe, data).size();

    wzxtools::CompressionWindow tight;
    Bytes out;
    EXPECT_FALSE(wzxtools::compressChunk(tight, data.data(), data.size(), size - 1, out));
    EXPECT_TRUE(out.empty());
    EXPECT_TRUE(wzxtools::compressChunk(tight, data.data(), data.size(), size, out));
    EXPECT_EQ(out.size(), size);
}

}  // namespace
