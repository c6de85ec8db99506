// The fast expansion and reconstruction against their plain references, on
// many random inputs: every output byte (also those past what was produced),
// the counts, the cut flags and the window afterwards must agree.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "decoder/row_reconstruction.h"
#include "decoder/sliding_window.h"

namespace wzx {
namespace {

using Bytes = std::vector<uint8_t>;
using Rng = std::mt19937_64;

uint32_t below(Rng& rng, uint32_t n) {
    return static_cast<uint32_t>(rng() % n);
}

// A heap block of exactly n bytes, so that the sanitizers see any access
// just past its end.
struct ExactBuffer {
    explicit ExactBuffer(const Bytes& b) : size(b.size()), bytes(new uint8_t[b.size()]) {
        std::copy(b.begin(), b.end(), bytes.get());
    }
    Bytes copy() const { return Bytes(bytes.get(), bytes.get() + size); }
    size_t size;
    std::unique_ptr<uint8_t[]> bytes;
};

// Where two byte runs first differ, as "what [i]: have x, want y".
std::string firstDifference(const char* what, const Bytes& have, const Bytes& want) {
    std::ostringstream os;
    if (have.size() != want.size()) {
        os << what << " size: have " << have.size() << ", want " << want.size();
        return os.str();
    }
    for (size_t i = 0; i < have.size(); ++i) {
        if (have[i] != want[i]) {
            os << what << " [" << i << "]: have " << int{have[i]} << ", want " << int{want[i]};
            return os.str();
        }
    }
    return "";
}

// ---------------------------------------------------------------------------
// Expansion

// Match distances the stream generator aims at, behind the write position:
// runs, short periods, the 8- and 16-byte copy widths, far back, the whole
// ring, and positions picked at random.
uint32_t pickDistance(Rng& rng) {
    switch (below(rng, 7)) {
        case 0:
            return 1;
        case 1:
            return 2 + below(rng, 6);
        case 2:
            return 8 + below(rng, 8);
        case 3:
            return 16 + below(rng, 300);
        case 4:
            return 3800 + below(rng, 297);  // up to 4096: the bytes r itself names
        default:
            return 1 + below(rng, 4096);
    }
}

uint32_t pickLength(Rng& rng) {
    switch (below(rng, 4)) {
        case 0:
            return 3 + below(rng, 15);  // no escape
        case 1:
            return 18 + below(rng, 256);  // escape
        case 2:
            return below(rng, 2) ? 17 : 18;  // around the escape
        default:
            return 3 + below(rng, 6);
    }
}

// Items that look like an encoder's: literals and matches at chosen
// distances from the write position, which the generator tracks.
Bytes structuredStream(Rng& rng, uint32_t r, size_t items, unsigned matchPercent) {
    Bytes s;
    size_t flagAt = 0;
    for (size_t i = 0; i < items; ++i) {
        if (i % 8 == 0) {
            flagAt = s.size();
            s.push_back(0);
        }
        if (below(rng, 100) >= matchPercent) {
            s.push_back(static_cast<uint8_t>(rng()));
            r = (r + 1) & kWindowMask;
            continue;
        }
        s[flagAt] = static_cast<uint8_t>(s[flagAt] | (1u << (i % 8)));
        uint32_t p = (r - pickDistance(rng)) & kWindowMask;
        uint32_t n = pickLength(rng);
        s.push_back(static_cast<uint8_t>(p));
        if (n < 18) {
            s.push_back(static_cast<uint8_t>(((n - 3) << 4) | (p >> 8)));
        } else {
            s.push_back(static_cast<uint8_t>(0xF0 | (p >> 8)));
            s.push_back(static_cast<uint8_t>(n - 18));
        }
        r = (r + n) & kWindowMask;
    }
    return s;
}

Bytes randomBytes(Rng& rng, size_t n) {
    Bytes b(n);
    uint64_t bits = 0;
    for (size_t i = 0; i < n; ++i, bits >>= 8) {
        if (i % 8 == 0) bits = rng();
        b[i] = static_cast<uint8_t>(bits);
    }
    return b;
}

// Random flag bytes, positions and lengths, with no structure at all.
Bytes noiseStream(Rng& rng) {
    return randomBytes(rng, below(rng, 600));
}

SlidingWindow randomWindow(Rng& rng) {
    SlidingWindow w;
    switch (below(rng, 3)) {
        case 0:
            break;  // a fresh image
        case 1:
            for (auto& v : w.ring) v = static_cast<uint8_t>(rng());
            w.r = below(rng, kWindowSize);
            break;
        default:  // write position near the ring's end, so outputs wrap it
            for (auto& v : w.ring) v = static_cast<uint8_t>(below(rng, 4));
            w.r = static_cast<uint32_t>(kWindowSize - 1 - below(rng, 300));
    }
    return w;
}

Bytes randomStream(Rng& rng, uint32_t r) {
    switch (below(rng, 5)) {
        case 0:
            return noiseStream(rng);
        case 1:
            return structuredStream(rng, r, below(rng, 40), 50);
        case 2:
            return structuredStream(rng, r, below(rng, 3000), 25);  // photograph-like
        case 3:
            return structuredStream(rng, r, below(rng, 400), 90);  // drawing-like
        default:
            return structuredStream(rng, r, below(rng, 1500), below(rng, 101));
    }
}

// Cuts the stream short now and then, anywhere, also inside an item.
void maybeTruncate(Rng& rng, Bytes& s) {
    if (!s.empty() && below(rng, 3) == 0) s.resize(below(rng, static_cast<uint32_t>(s.size())));
}

// What the plain expansion yields, then a capacity around it: exact, a
// little more or less, much less, none, or far more (so that the unchecked
// loop runs up to the chunk's end, where bytes past the output must survive).
size_t pickCapacity(Rng& rng, uint64_t expanded) {
    size_t full = static_cast<size_t>(expanded);
    switch (below(rng, 7)) {
        case 6:
            return full + 2300 + below(rng, 3000);
        case 0:
            return full;
        case 1:
            return full + below(rng, 64);
        case 2:
            return full > 0
                       ? full - 1 - below(rng, static_cast<uint32_t>(std::min<size_t>(full, 40)))
                       : 0;
        case 3:
            return below(rng, static_cast<uint32_t>(full + 1));
        case 4:
            return 0;
        default:
            return full + 10;  // the decoder's slack
    }
}

struct ExpansionRun {
    SlidingWindow window;
    Bytes out;
    ChunkExpansion result;
};

using Expand = ChunkExpansion (*)(SlidingWindow&, const uint8_t*, size_t, uint8_t*, size_t);

ExpansionRun run(Expand expand, const SlidingWindow& start, const ExactBuffer& data,
                 const Bytes& outStart) {
    ExpansionRun r{start, {}, {}};
    ExactBuffer out(outStart);
    r.result = expand(r.window, data.bytes.get(), data.size, out.bytes.get(), out.size);
    r.out = out.copy();
    return r;
}

// Runs both paths from the same window on the same chunk; an empty string
// when they agree, else what differs.
std::string compareExpansion(const SlidingWindow& start, const Bytes& stream, const Bytes& outStart,
                             SlidingWindow& next) {
    ExactBuffer data(stream);
    ExpansionRun fast = run(decompressChunk, start, data, outStart);
    ExpansionRun plain = run(decompressChunkPlain, start, data, outStart);
    next = plain.window;
    std::ostringstream os;
    if (fast.result.produced != plain.result.produced)
        os << "produced: have " << fast.result.produced << ", want " << plain.result.produced
           << "; ";
    if (fast.result.itemCut != plain.result.itemCut)
        os << "itemCut: have " << fast.result.itemCut << ", want " << plain.result.itemCut << "; ";
    if (fast.window.r != plain.window.r)
        os << "r: have " << fast.window.r << ", want " << plain.window.r << "; ";
    os << firstDifference("out", fast.out, plain.out);
    os << firstDifference("ring", Bytes(fast.window.ring.begin(), fast.window.ring.end()),
                          Bytes(plain.window.ring.begin(), plain.window.ring.end()));
    return os.str();
}

TEST(FastExpansion, MatchesPlainOnRandomChunks) {
    Rng rng(20240611);
    for (int iteration = 0; iteration < 4000; ++iteration) {
        SlidingWindow start = randomWindow(rng);
        Bytes stream = randomStream(rng, start.r);
        maybeTruncate(rng, stream);
        SlidingWindow probe = start;
        uint64_t expanded =
            decompressChunkPlain(probe, stream.data(), stream.size(), nullptr, 0).produced;
        Bytes outStart = randomBytes(rng, pickCapacity(rng, expanded));
        SlidingWindow next;
        std::string diff = compareExpansion(start, stream, outStart, next);
        ASSERT_EQ(diff, "") << "iteration " << iteration << ", " << stream.size()
                            << " stored bytes, capacity " << outStart.size() << ", r " << start.r;
    }
}

TEST(FastExpansion, LeavesBytesPastTheOutputAlone) {
    // Far more room than the chunk fills, so the unchecked loop runs up to
    // the chunk's end; its wide copies must leave nothing past the output.
    Rng rng(31);
    for (int iteration = 0; iteration < 4000; ++iteration) {
        SlidingWindow start = randomWindow(rng);
        Bytes stream = structuredStream(rng, start.r, 20 + below(rng, 200), below(rng, 101));
        stream.resize(stream.size() -
                      below(rng, static_cast<uint32_t>(std::min<size_t>(stream.size(), 30))));
        SlidingWindow probe = start;
        uint64_t expanded =
            decompressChunkPlain(probe, stream.data(), stream.size(), nullptr, 0).produced;
        Bytes outStart = randomBytes(rng, static_cast<size_t>(expanded) + 2300 + below(rng, 100));
        SlidingWindow next;
        std::string diff = compareExpansion(start, stream, outStart, next);
        ASSERT_EQ(diff, "") << "iteration " << iteration << ", " << stream.size()
                            << " stored bytes";
    }
}

TEST(FastExpansion, MatchesPlainAcrossChunkSequences) {
    // The window carries over: each chunk starts where the previous left it.
    Rng rng(77);
    for (int sequence = 0; sequence < 300; ++sequence) {
        SlidingWindow window = randomWindow(rng);
        for (int chunk = 0; chunk < 8; ++chunk) {
            Bytes stream = randomStream(rng, window.r);
            maybeTruncate(rng, stream);
            Bytes outStart = randomBytes(rng, below(rng, 9000));
            SlidingWindow next;
            std::string diff = compareExpansion(window, stream, outStart, next);
            ASSERT_EQ(diff, "") << "sequence " << sequence << ", chunk " << chunk;
            window = next;
        }
    }
}

// ---------------------------------------------------------------------------
// Reconstruction

std::string compareRow(Rng& rng, unsigned channels, size_t width) {
    std::vector<ExactBuffer> planes;
    const uint8_t* rows[4] = {};
    for (unsigned c = 0; c < channels; ++c) {
        planes.emplace_back(randomBytes(rng, width));
        rows[c] = planes.back().bytes.get();
    }
    Bytes previous = randomBytes(rng, width * channels);
    ExactBuffer inPlace(previous), above(previous), plain(previous);
    reconstructRowPlain(rows, channels, width, plain.bytes.get());
    reconstructRow(rows, channels, width, inPlace.bytes.get());
    std::string diff = firstDifference("row in place", inPlace.copy(), plain.copy());
    // Into a separate row, the row above left alone.
    ExactBuffer into(randomBytes(rng, width * channels));
    reconstructRowInto(rows, channels, width, above.bytes.get(), into.bytes.get());
    diff += firstDifference("row into", into.copy(), plain.copy());
    diff += firstDifference("row above", above.copy(), previous);
    if (width >= kWideRowPixels) {
        ExactBuffer baseline(previous), baselineInto(randomBytes(rng, width * channels));
        reconstructWideRowBaseline(rows, channels, width, baseline.bytes.get(),
                                   baseline.bytes.get());
        reconstructWideRowBaseline(rows, channels, width, above.bytes.get(),
                                   baselineInto.bytes.get());
        diff += firstDifference("baseline row", baseline.copy(), plain.copy());
        diff += firstDifference("baseline row into", baselineInto.copy(), plain.copy());
    }
    return diff;
}

TEST(FastReconstruction, MatchesPlainOnRandomRows) {
    Rng rng(5);
    for (unsigned channels : {3u, 4u}) {
        for (size_t width = 0; width <= 80; ++width)
            ASSERT_EQ(compareRow(rng, channels, width), "")
                << channels << " channels, width " << width;
        for (int i = 0; i < 300; ++i) {
            size_t width = below(rng, 1200);
            ASSERT_EQ(compareRow(rng, channels, width), "")
                << channels << " channels, width " << width;
        }
    }
}

TEST(FastReconstruction, MatchesPlainDownAColumnOfRows) {
    // Rows build on each other through the previous row, as in an image.
    Rng rng(9);
    for (unsigned channels : {3u, 4u}) {
        const size_t width = 1000 + below(rng, 100);
        Bytes fast(width * channels, 0), plain(width * channels, 0);
        for (int y = 0; y < 50; ++y) {
            Bytes planes[4];
            const uint8_t* rows[4] = {};
            for (unsigned c = 0; c < channels; ++c) {
                planes[c] = randomBytes(rng, width);
                rows[c] = planes[c].data();
            }
            reconstructRow(rows, channels, width, fast.data());
            reconstructRowPlain(rows, channels, width, plain.data());
            ASSERT_EQ(firstDifference("row", fast, plain), "")
                << channels << " channels, row " << y;
        }
    }
}

TEST(FastReconstruction, NarrowBlocksMatchPlainRows) {
    // Whole blocks of narrow rows written to a bottom-up output, against
    // the plain loop row by row.
    Rng rng(13);
    for (unsigned channels : {3u, 4u}) {
        for (size_t width = 1; width < kWideRowPixels; ++width) {
            for (int round = 0; round < 20; ++round) {
                const size_t rows = 1 + below(rng, 40);
                const size_t rowBytes = width * channels;
                const size_t stride = (rowBytes + 3) / 4 * 4;
                Bytes planes[4];
                const uint8_t* start[4] = {};
                for (unsigned c = 0; c < channels; ++c) {
                    planes[c] = randomBytes(rng, width * rows);
                    start[c] = planes[c].data();
                }
                Bytes previous = randomBytes(rng, rowBytes);
                Bytes plain = previous;
                Bytes out(stride * rows, 0xEE), want(stride * rows, 0xEE);
                for (size_t y = 0; y < rows; ++y) {
                    const uint8_t* row[4] = {};
                    for (unsigned c = 0; c < channels; ++c) row[c] = start[c] + y * width;
                    reconstructRowPlain(row, channels, width, plain.data());
                    std::copy(plain.begin(), plain.end(),
                              want.begin() + static_cast<long>((rows - 1 - y) * stride));
                }
                uint8_t* first = out.data() + (rows - 1) * stride;
                const ptrdiff_t pitch = -static_cast<ptrdiff_t>(stride);
                if (channels == 4)
                    reconstructNarrowRows<4>(start, width, rows, previous.data(), first, pitch);
                else
                    reconstructNarrowRows<3>(start, width, rows, previous.data(), first, pitch);
                ASSERT_EQ(firstDifference("out", out, want), "")
                    << channels << " channels, width " << width << ", " << rows << " rows";
                ASSERT_EQ(firstDifference("last row", previous, plain), "")
                    << channels << " channels, width " << width << ", " << rows << " rows";
            }
        }
    }
}

}  // namespace
}  // namespace wzx
