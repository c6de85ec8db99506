// One compressed chunk expanded on its own, from a window state and into an
// output capacity that the input chooses, compared with the plain
// byte-at-a-time expansion.
//
// Input layout:
//   0  2  output capacity, little-endian, masked to 0..8191 (twice the
//         ring, so that outputs wrap it; larger ones only cost time)
//   2  2  starting write position r, little-endian, masked to the ring
//   4  1  ring fill: low 2 bits choose the pattern, the rest seed it
//   5  .  the chunk's stored bytes, to the end of the input
// The stored bytes stay in the fuzzer's own buffer, which ends exactly where
// they end, and the output buffer has exactly the chosen capacity, so any
// read or write past either is caught by AddressSanitizer.
#include <algorithm>
#include <memory>

#include "decoder/byte_order.h"
#include "decoder/sliding_window.h"
#include "fuzz/targets.h"

namespace wzx::fuzz {

namespace {

constexpr const char* kTarget = "decompress";
constexpr size_t kPrefixBytes = 5;
constexpr size_t kCapacityMask = 2 * kWindowSize - 1;
// Marks output bytes that the expansion must not touch.
constexpr uint8_t kUntouched = 0xA5;

void fillRing(SlidingWindow& w, uint8_t fill) {
    uint8_t seed = static_cast<uint8_t>(fill >> 2);
    for (size_t i = 0; i < kWindowSize; ++i) {
        switch (fill & 3) {
            case 0:
                w.ring[i] = 0;
                break;
            case 1:
                w.ring[i] = static_cast<uint8_t>(i);
                break;
            case 2:
                w.ring[i] = static_cast<uint8_t>(i * 37 + seed);
                break;
            default:
                w.ring[i] = seed;
                break;
        }
    }
}

struct Run {
    SlidingWindow window;
    std::unique_ptr<uint8_t[]> out;
    ChunkExpansion result;
};

void checkRun(const Run& run, uint32_t startR, size_t capacity) {
    check(run.window.r < kWindowSize, kTarget, "write position left the ring");
    check(run.window.r == ((startR + run.result.produced) & kWindowMask), kTarget,
          "write position did not move by the expanded length");
    size_t written = static_cast<size_t>(std::min<uint64_t>(run.result.produced, capacity));
    for (size_t i = written; i < capacity; ++i)
        check(run.out[i] == kUntouched, kTarget, "output written beyond the expanded length");
    // The newest expanded bytes sit in the ring just behind the write
    // position, when they are still in the output to compare with.
    if (run.result.produced > capacity) return;
    size_t recent = std::min(written, kWindowSize);
    for (size_t i = 0; i < recent; ++i) {
        uint32_t at =
            (run.window.r - static_cast<uint32_t>(recent) + static_cast<uint32_t>(i)) & kWindowMask;
        check(run.window.ring[at] == run.out[written - recent + i], kTarget,
              "an expanded byte is missing from the ring");
    }
}

}  // namespace

int decompressInput(const uint8_t* data, size_t size) {
    if (size < kPrefixBytes) return -1;
    size_t capacity = loadLe16(data) & kCapacityMask;
    uint32_t startR = loadLe16(data + 2) & kWindowMask;
    const uint8_t* chunk = data + kPrefixBytes;
    size_t length = size - kPrefixBytes;

    Run fast, plain;
    fillRing(fast.window, data[4]);
    fast.window.r = startR;
    plain.window = fast.window;
    for (Run* run : {&fast, &plain}) {
        run->out.reset(new uint8_t[capacity]);
        std::fill(run->out.get(), run->out.get() + capacity, kUntouched);
    }
    fast.result = decompressChunk(fast.window, chunk, length, fast.out.get(), capacity);
    plain.result = decompressChunkPlain(plain.window, chunk, length, plain.out.get(), capacity);
    checkRun(fast, startR, capacity);
    checkRun(plain, startR, capacity);

    check(fast.result.produced == plain.result.produced, kTarget,
          "fast and plain expansion produce different lengths");
    check(fast.result.itemCut == plain.result.itemCut, kTarget,
          "fast and plain expansion disagree on a cut item");
    check(fast.window.ring == plain.window.ring, kTarget,
          "fast and plain expansion leave different rings");
    check(std::equal(fast.out.get(), fast.out.get() + capacity, plain.out.get()), kTarget,
          "fast and plain expansion write different bytes");
    return 0;
}

}  // namespace wzx::fuzz
