// Match search and item output for compressed chunks.
#include "tools/window_compressor.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace wzxtools {

namespace {

constexpr int64_t kReach = static_cast<int64_t>(wzx::kWindowSize);

struct Match {
    int64_t source = 0;  // stream position the copy starts from
    size_t length = 0;   // 0: no match of at least kMinMatchLength
};

uint32_t hashPrefix(const uint8_t* p) {
    uint32_t v = p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16);
    return (v * 2654435761u) >> (32 - kHashBits);
}

// Forgets every chain; the history bytes are hashed again on demand.
void resetChains(CompressionWindow& w) {
    std::fill(w.head.begin(), w.head.end(), int64_t{-1});
    w.hashed = w.base;
}

// Drops history that no match of the next chunk can reach.
void trimHistory(CompressionWindow& w) {
    if (w.bytes.size() <= wzx::kWindowSize) return;
    size_t drop = w.bytes.size() - wzx::kWindowSize;
    w.bytes.erase(w.bytes.begin(), w.bytes.begin() + static_cast<std::ptrdiff_t>(drop));
    w.base += static_cast<int64_t>(drop);
    w.hashed = std::max(w.hashed, w.base);
}

// Chains every position below upTo whose three bytes lie before end. The
// last two positions of a chunk wait for the next chunk's bytes.
void hashUpTo(CompressionWindow& w, int64_t upTo, int64_t end) {
    const int64_t last = std::min(upTo, end - 2);
    for (; w.hashed < last; ++w.hashed) {
        uint32_t h = hashPrefix(w.bytes.data() + (w.hashed - w.base));
        w.prev[static_cast<size_t>(w.hashed) & wzx::kWindowMask] = w.head[h];
        w.head[h] = w.hashed;
    }
}

// Length of the common prefix of a and b, at most limit. a lies before b in
// the same buffer, so both stay readable up to b + limit.
size_t commonLength(const uint8_t* a, const uint8_t* b, size_t limit) {
    size_t n = 0;
    if constexpr (std::endian::native == std::endian::little) {
        while (n + 8 <= limit) {
            uint64_t x, y;
            std::memcpy(&x, a + n, 8);
            std::memcpy(&y, b + n, 8);
            if (x != y) return n + static_cast<size_t>(std::countr_zero(x ^ y) / 8);
            n += 8;
        }
    }
    while (n < limit && a[n] == b[n]) ++n;
    return n;
}

// The longest match for stream position pos among its chain, the copy
// ending by end. Hashes every position before pos first.
Match searchAt(CompressionWindow& w, int64_t pos, int64_t end) {
    hashUpTo(w, pos, end);
    const size_t limit = static_cast<size_t>(std::min<int64_t>(
        static_cast<int64_t>(wzx::kMaxMatchLength), std::max<int64_t>(end - pos, 0)));
    if (limit < kMinMatchLength) return {};
    const uint8_t* cur = w.bytes.data() + (pos - w.base);
    const int64_t lowest = pos - kReach;
    Match best;
    int64_t cand = w.head[hashPrefix(cur)];
    for (unsigned depth = w.chainDepth; depth > 0 && cand >= lowest; --depth) {
        const uint8_t* src = w.bytes.data() + (cand - w.base);
        if (src[best.length] == cur[best.length]) {
            size_t n = commonLength(src, cur, limit);
            if (n > best.length) {
                best = {cand, n};
                if (n == limit) break;
            }
        }
        cand = w.prev[static_cast<size_t>(cand) & wzx::kWindowMask];
    }
    if (best.length < kMinMatchLength) return {};
    return best;
}

// Packs items behind flag bytes, eight to a flag byte, least significant
// bit first. A flag byte is only opened for an item that follows it.
struct ItemWriter {
    std::vector<uint8_t>& out;
    size_t flagAt = 0;
    unsigned used = 8;

    void announce(bool isMatch) {
        if (used == 8) {
            flagAt = out.size();
            out.push_back(0);
            used = 0;
        }
        if (isMatch) out[flagAt] = static_cast<uint8_t>(out[flagAt] | (1u << used));
        ++used;
    }
    void literal(uint8_t c) {
        announce(false);
        out.push_back(c);
    }
    // Lengths 3..17 sit in the high nibble of the second byte; 15 there
    // means a third byte carries length - 18.
    void match(int64_t source, size_t length) {
        announce(true);
        uint32_t p = static_cast<uint32_t>(source) & wzx::kWindowMask;
        out.push_back(static_cast<uint8_t>(p));
        if (length < 18) {
            out.push_back(static_cast<uint8_t>(((length - 3) << 4) | (p >> 8)));
        } else {
            out.push_back(static_cast<uint8_t>(0xF0 | (p >> 8)));
            out.push_back(static_cast<uint8_t>(length - 18));
        }
    }
};

}  // namespace

CompressionWindow::CompressionWindow() : bytes(wzx::kWindowSize, 0), head(kHashSize, -1) {
    prev.fill(-1);
}

bool compressChunk(CompressionWindow& w, const uint8_t* data, size_t length, size_t maxBytes,
                   std::vector<uint8_t>& out) {
    trimHistory(w);
    const size_t outStart = out.size();
    const int64_t start = w.base + static_cast<int64_t>(w.bytes.size());
    const int64_t end = start + static_cast<int64_t>(length);
    w.bytes.insert(w.bytes.end(), data, data + length);

    ItemWriter items{out};
    int64_t pos = start;
    Match cur = searchAt(w, pos, end);
    while (pos < end) {
        // A short match is dropped for a literal when the next byte starts
        // a longer one.
        Match next;
        bool defer = cur.length != 0 && cur.length < w.lazyLimit && pos + 1 < end &&
                     (next = searchAt(w, pos + 1, end)).length > cur.length;
        if (cur.length == 0 || defer) {
            items.literal(w.bytes[static_cast<size_t>(pos - w.base)]);
            pos += 1;
            cur = defer ? next : searchAt(w, pos, end);
        } else {
            items.match(cur.source, cur.length);
            pos += static_cast<int64_t>(cur.length);
            cur = searchAt(w, pos, end);
        }
        if (out.size() - outStart > maxBytes) {
            out.resize(outStart);
            w.bytes.resize(static_cast<size_t>(start - w.base));
            resetChains(w);
            return false;
        }
    }
    return true;
}

}  // namespace wzxtools
