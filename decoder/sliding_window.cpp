// Expansion of compressed chunks through the shared history ring: the plain
// byte-at-a-time reference, and the fast path that expands straight into the
// output and brings the ring up to date once per chunk.
#include "decoder/sliding_window.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace wzx {

namespace {

// ---------------------------------------------------------------------------
// Plain expansion, one byte at a time, every byte through the ring.

// Reading cursor over one chunk's stored bytes. Bytes asked for past the
// end count as 0 and mark the item as cut, so no read leaves the buffer.
struct ChunkCursor {
    const uint8_t* data;
    size_t length;
    size_t pos = 0;
    bool cut = false;

    uint8_t next() {
        if (pos < length) return data[pos++];
        cut = true;
        return 0;
    }
};

// Stores one expanded byte in the ring and, while room is left, the output.
struct Expander {
    SlidingWindow& w;
    uint8_t* out;
    size_t capacity;
    uint64_t produced = 0;

    void emit(uint8_t c) {
        w.ring[w.r] = c;
        w.r = (w.r + 1) & kWindowMask;
        if (produced < capacity) out[produced] = c;
        ++produced;
    }
};

// The flag byte of the current group and how many of its bits are unused.
struct FlagState {
    unsigned flags = 0;
    unsigned bitsLeft = 0;
};

void expandMatch(ChunkCursor& in, Expander& ex) {
    uint32_t b0 = in.next();
    uint32_t b1 = in.next();
    uint32_t p = b0 | ((b1 & 0x0F) << 8);
    uint32_t n = (b1 >> 4) + 3;
    if (n == 18) n = in.next() + 18u;
    for (uint32_t i = 0; i < n; ++i) {
        ex.emit(ex.w.ring[p]);
        p = (p + 1) & kWindowMask;
    }
}

// Runs the items from the cursor's position to the chunk's end. The cursor
// is compared with the end before every item; a flag byte is fetched after
// that comparison, and its first item follows without another one.
void expandItems(ChunkCursor& in, Expander& ex, FlagState& fl) {
    while (in.pos < in.length) {
        if (fl.bitsLeft == 0) {
            fl.flags = in.next();
            fl.bitsLeft = 8;
        }
        bool isMatch = fl.flags & 1u;
        fl.flags >>= 1;
        --fl.bitsLeft;
        if (isMatch) {
            expandMatch(in, ex);
        } else {
            ex.emit(in.next());
        }
    }
}

// ---------------------------------------------------------------------------
// Fast expansion. While the output has room, it is itself the history: the
// byte that ring position p holds at output index i is out[i - d], with
// d = (r - p) mod 4096 in 1..4096, or, when i - d < 0, the ring's byte from
// before the chunk. So the ring stays untouched until the chunk ends (or the
// output is full), and then takes the last 4096 output bytes in one copy.

// The largest group: a flag byte and eight matches with the length escape.
constexpr size_t kMaxGroupBytes = 1 + 8 * 3;
// Wide copies may write up to this many bytes past an item's end.
constexpr size_t kCopySlop = 16;
// Stored bytes still to come that yield at least kCopySlop output bytes
// (items give at least one byte per stored byte, and at most one flag byte
// comes per nine stored bytes), so that every byte a wide copy writes past
// its item is overwritten by later items.
constexpr size_t kSlopCoverBytes = kCopySlop + 2;
// Whole groups run unchecked only while both margins hold.
constexpr size_t kFastInputMargin = kMaxGroupBytes + kSlopCoverBytes;
constexpr size_t kFastOutputMargin = 8 * kMaxMatchLength + kCopySlop;

struct FastState {
    const uint8_t* data;
    size_t length;
    size_t pos;
    const uint8_t* ring;  // as it was before the chunk
    uint32_t r0;          // write position before the chunk
    uint8_t* out;
    size_t capacity;
    size_t produced;  // never beyond capacity
};

struct Match {
    uint32_t p;      // ring position of the first byte
    uint32_t n;      // length
    uint32_t bytes;  // stored bytes of the item
};

// Needs three readable bytes, even for a two-byte item. Without branches:
// whether the length escape is there is as good as random.
inline Match readMatch(const uint8_t* at) {
    uint32_t b1 = at[1];
    uint32_t escape = (b1 + 0x10) >> 8;  // 1 when the high nibble is 15
    uint32_t extra = at[2] & (0u - escape);
    return {at[0] | ((b1 & 0x0Fu) << 8), (b1 >> 4) + 3 + extra, 2 + escape};
}

// How far back in the output ring position p lies at output index i.
inline size_t matchDistance(const FastState& s, uint32_t p) {
    return ((s.r0 + s.produced - p - 1) & kWindowMask) + 1;
}

inline uint64_t load8(const uint8_t* src) {
    uint64_t v;
    std::memcpy(&v, src, 8);
    return v;
}

inline void store8(uint8_t* dst, uint64_t v) {
    std::memcpy(dst, &v, 8);
}

inline void copy16(uint8_t* dst, const uint8_t* src) {
    uint8_t v[16];
    std::memcpy(v, src, 16);
    std::memcpy(dst, v, 16);
}

inline uint32_t load4(const uint8_t* src) {
    uint32_t v;
    std::memcpy(&v, src, 4);
    return v;
}

inline void store4(uint8_t* dst, uint32_t v) {
    std::memcpy(dst, &v, 4);
}

// Copies exactly n bytes between buffers that do not overlap, the last
// piece overlapping the one before it. Small chunks make several copies of
// a few dozen bytes each; a library call or a string instruction costs more
// than the copy.
inline void copyExact(uint8_t* dst, const uint8_t* src, size_t n) {
    if (n >= 16) {
        for (size_t i = 0; i + 16 < n; i += 16) copy16(dst + i, src + i);
        copy16(dst + n - 16, src + n - 16);
    } else if (n >= 8) {
        uint64_t head = load8(src), tail = load8(src + n - 8);
        store8(dst, head);
        store8(dst + n - 8, tail);
    } else if (n >= 4) {
        uint32_t head = load4(src), tail = load4(src + n - 4);
        store4(dst, head);
        store4(dst + n - 4, tail);
    } else if (n > 0) {
        uint8_t first = src[0], middle = src[n / 2], last = src[n - 1];
        dst[0] = first;
        dst[n / 2] = middle;
        dst[n - 1] = last;
    }
}

// A match that starts in the ring's bytes from before the chunk: those come
// first, the rest follows from the output's start. Exact, byte by byte; it
// only happens within the first 4096 bytes of a chunk.
void copyFromOldRing(const FastState& s, const Match& m, size_t d) {
    uint8_t* dst = s.out + s.produced;
    size_t fromRing = std::min<size_t>(m.n, d - s.produced);
    uint32_t p = m.p;
    for (size_t i = 0; i < fromRing; ++i) {
        dst[i] = s.ring[p];
        p = (p + 1) & kWindowMask;
    }
    // Index from the output's start: produced + i >= d here, while i - d
    // alone would wrap.
    for (size_t i = fromRing; i < m.n; ++i) dst[i] = s.out[s.produced + i - d];
}

// The first 16 bytes of a sequence with period d, 2 <= d < 8, from its
// first d bytes. They are read one at a time: they were written moments
// ago, and a wide read across several recent writes would wait for them.
inline void shortPeriod(const uint8_t* src, size_t d, uint64_t& lo, uint64_t& hi) {
    uint64_t p = 0;
    for (size_t i = 0; i < d; ++i) p |= uint64_t{src[i]} << (8 * i);
    for (size_t have = d; have < 8; have *= 2) p |= p << (8 * have);
    lo = p;
    // Byte 8 + j of the sequence is byte (8 + j) mod d of the period.
    size_t phase = 8 % d;
    hi = phase == 0 ? p : (p >> (8 * phase)) | (p << (8 * (d - phase)));
}

// The first 16 bytes of a sequence with period d, 8 <= d < 16. Both reads
// stay within the d source bytes.
inline void longPeriod(const uint8_t* src, size_t d, uint64_t& lo, uint64_t& hi) {
    lo = load8(src);
    hi = d == 8 ? lo : (load8(src + d - 8) >> (8 * (16 - d))) | (lo << (8 * (d - 8)));
}

// A match whose source overlaps its own output with period d < 16: the
// first d bytes repeat. The pattern is built once in registers and stored
// at steps of a multiple of d, never read back from the output. Writes up
// to kCopySlop bytes past the end.
inline void copyRepeating(uint8_t* dst, const uint8_t* src, size_t d, uint32_t n) {
    uint64_t lo, hi;
    if (d == 1) {
        lo = hi = src[0] * 0x0101010101010101ull;
    } else if (d < 8) {
        shortPeriod(src, d, lo, hi);
    } else {
        longPeriod(src, d, lo, hi);
    }
    // The largest multiple of d within 16 bytes.
    static constexpr uint8_t kStep[16] = {0,  16, 16, 15, 16, 15, 12, 14,
                                          16, 9,  10, 11, 12, 13, 14, 15};
    const size_t step = kStep[d];
    for (size_t i = 0; i < n; i += step) {
        store8(dst + i, lo);
        store8(dst + i + 8, hi);
    }
}

// Copies a match in wide steps; may write kCopySlop bytes past its end.
inline void copyMatchWide(const FastState& s, const Match& m) {
    size_t d = matchDistance(s, m.p);
    uint8_t* dst = s.out + s.produced;
    if (d > s.produced) {
        // Wholly in the old ring and clear of its end: wide reads from there.
        if (d - s.produced >= m.n && m.p + m.n + 15 < kWindowSize) {
            for (uint32_t i = 0; i < m.n; i += 16) copy16(dst + i, s.ring + m.p + i);
        } else {
            copyFromOldRing(s, m, d);
        }
        return;
    }
    const uint8_t* src = dst - d;
    if (d >= 16) {
        // Each 16-byte read ends at or before the write it feeds.
        for (uint32_t i = 0; i < m.n; i += 16) copy16(dst + i, src + i);
    } else {
        copyRepeating(dst, src, d, m.n);
    }
}

// Copies a match exactly, for the checked item loop.
inline void copyMatchExact(const FastState& s, const Match& m) {
    size_t d = matchDistance(s, m.p);
    uint8_t* dst = s.out + s.produced;
    if (d > s.produced) {
        copyFromOldRing(s, m, d);
    } else if (d >= m.n) {
        std::memcpy(dst, dst - d, m.n);
    } else if (d == 1) {
        std::memset(dst, dst[-1], m.n);
    } else {
        const uint8_t* src = dst - d;
        for (uint32_t i = 0; i < m.n; ++i) dst[i] = src[i];
    }
}

// One whole group without bounds checks; the caller guarantees
// kFastInputMargin stored bytes and kFastOutputMargin output bytes. Runs of
// literals go out eight bytes at a time, so the branches follow the matches
// rather than every flag bit.
inline void expandGroupFast(FastState& s) {
    const uint8_t* in = s.data + s.pos;
    unsigned bits = *in++ | 0x100u;  // the marker bit ends the group
    for (;;) {
        unsigned literals = static_cast<unsigned>(std::countr_zero(bits));
        store8(s.out + s.produced, load8(in));
        s.produced += literals;
        in += literals;
        bits >>= literals;
        if (bits == 1) break;
        Match m = readMatch(in);
        in += m.bytes;
        copyMatchWide(s, m);
        s.produced += m.n;
        // No test here: a group ending in a match leaves a run of no
        // literals, and one exit is easier to predict than two.
        bits >>= 1;
    }
    s.pos = static_cast<size_t>(in - s.data);
}

// Item by item with exact copies, for the end of a chunk. Stops before an
// item that is cut by the chunk's end or would pass the output capacity;
// the plain expansion takes over from there.
void expandItemsChecked(FastState& s, FlagState& fl) {
    while (s.pos < s.length) {
        if (fl.bitsLeft == 0) {
            if (s.length - s.pos < 2) return;  // the flag byte's item is cut
            fl.flags = s.data[s.pos++];
            fl.bitsLeft = 8;
        }
        size_t left = s.length - s.pos;
        if (fl.flags & 1u) {
            if (left < 2 || (left < 3 && s.data[s.pos + 1] >= 0xF0)) return;
            uint8_t item[3] = {s.data[s.pos], s.data[s.pos + 1],
                               left >= 3 ? s.data[s.pos + 2] : uint8_t{0}};
            Match m = readMatch(item);
            if (s.capacity - s.produced < m.n) return;
            // Wide copies are fine while later items cover their slop.
            if (left - m.bytes >= kSlopCoverBytes && s.capacity - s.produced - m.n >= kCopySlop)
                copyMatchWide(s, m);
            else
                copyMatchExact(s, m);
            s.pos += m.bytes;
            s.produced += m.n;
        } else {
            if (s.produced == s.capacity) return;
            s.out[s.produced++] = s.data[s.pos++];
        }
        fl.flags >>= 1;
        --fl.bitsLeft;
    }
}

// Small chunks (the rows of narrow images) are too short for the margins
// above. They are expanded whole into scratch space with room for slop,
// from a copy of their stored bytes with zeros behind, and then copied out.
// The scratch starts with the ring's newest bytes: in a short chunk most
// matches start before it, and those that reach into the chunk can then be
// copied like any other from the output instead of byte by byte.
constexpr size_t kSmallChunkBytes = 2048;  // stored and expanded, at most
constexpr size_t kPaddedRead = 32;         // a group's reach: 25 bytes + an 8-byte literal read
constexpr size_t kRingTail = 32;           // ring bytes ahead of the expansion

// Where the small-chunk expansion stopped.
enum class SmallEnd {
    done,      // every stored byte is used
    handOver,  // an item is cut, or the scratch is full: plain from here
};

// The groups of a small chunk, each ending early at the chunk's end.
// s.data has kPaddedRead readable bytes past s.length and s.out room for
// kFastOutputMargin past kRingTail + kSmallChunkBytes.
SmallEnd expandSmall(FastState& s, FlagState& fl) {
    while (s.pos < s.length) {
        if (s.length - s.pos < 2 || s.produced > kRingTail + kSmallChunkBytes)
            return SmallEnd::handOver;
        unsigned bits = s.data[s.pos++] | 0x100u;
        for (;;) {
            unsigned literals = static_cast<unsigned>(std::countr_zero(bits));
            size_t left = s.length - s.pos;  // 0 only after a match
            store8(s.out + s.produced, load8(s.data + s.pos));
            if (literals >= left) {  // the run reaches the chunk's end
                s.produced += left;
                s.pos = s.length;
                return SmallEnd::done;
            }
            s.produced += literals;
            s.pos += literals;
            bits >>= literals;
            if (bits == 1) break;
            Match m = readMatch(s.data + s.pos);
            if (m.bytes > left - literals) {
                // A cut match: the plain expansion reads it, as the group's
                // remaining flag bits tell.
                fl.bitsLeft = static_cast<unsigned>(std::bit_width(bits)) - 1;
                fl.flags = bits ^ (1u << fl.bitsLeft);
                return SmallEnd::handOver;
            }
            copyMatchWide(s, m);
            s.pos += m.bytes;
            s.produced += m.n;
            // No test here: the run of literals that follows, even of none,
            // ends the group or the chunk, and one exit is easier to predict
            // than two.
            bits >>= 1;
        }
    }
    return SmallEnd::done;
}

// Gives the ring the last 4096 of the `produced` bytes written to out since
// the ring was last touched, and moves its write position past them.
void catchUpRing(SlidingWindow& w, const uint8_t* out, size_t produced) {
    size_t keep = std::min(produced, kWindowSize);
    if (keep > 0) {
        const uint8_t* src = out + (produced - keep);
        size_t slot = (w.r + produced - keep) & kWindowMask;
        size_t first = std::min(keep, kWindowSize - slot);
        copyExact(w.ring.data() + slot, src, first);
        copyExact(w.ring.data(), src + first, keep - first);
    }
    w.r = static_cast<uint32_t>((w.r + produced) & kWindowMask);
}

// The ring's newest kRingTail bytes, oldest first, into dst.
void copyRingTail(const SlidingWindow& w, uint8_t* dst) {
    if (w.r >= kRingTail) {
        copyExact(dst, w.ring.data() + w.r - kRingTail, kRingTail);
    } else {
        size_t older = kRingTail - w.r;
        copyExact(dst, w.ring.data() + kWindowSize - older, older);
        copyExact(dst + older, w.ring.data(), w.r);
    }
}

}  // namespace

ChunkExpansion decompressChunkPlain(SlidingWindow& window, const uint8_t* data, size_t length,
                                    uint8_t* out, size_t capacity) {
    ChunkCursor in{data, length};
    Expander ex{window, out, capacity};
    FlagState fl;
    expandItems(in, ex, fl);
    return {ex.produced, in.cut};
}

namespace {

ChunkExpansion decompressSmallChunk(SlidingWindow& window, const uint8_t* data, size_t length,
                                    uint8_t* out, size_t capacity) {
    // Only the padding is cleared: a few bytes per chunk, not kilobytes.
    uint8_t input[kSmallChunkBytes + kPaddedRead];
    uint8_t scratch[kRingTail + kSmallChunkBytes + kFastOutputMargin];
    copyExact(input, data, length);
    std::memset(input + length, 0, kPaddedRead);
    copyRingTail(window, scratch);
    // The ring's tail counts as output already produced, so distances into
    // it need no case of their own.
    uint32_t tailStart = static_cast<uint32_t>((window.r - kRingTail) & kWindowMask);
    FastState s{input,   length,         0,        window.ring.data(), tailStart,
                scratch, sizeof scratch, kRingTail};
    FlagState fl;
    SmallEnd end = expandSmall(s, fl);
    const uint8_t* expanded = scratch + kRingTail;
    size_t produced = s.produced - kRingTail;
    copyExact(out, expanded, std::min(produced, capacity));
    catchUpRing(window, expanded, produced);
    if (end == SmallEnd::done) return {produced, false};
    ChunkCursor in{data, length, s.pos};
    Expander ex{window, out, capacity, produced};
    expandItems(in, ex, fl);
    return {ex.produced, in.cut};
}

// Kept out of line, so that the choice between the paths takes no frame.
[[gnu::noinline]] ChunkExpansion decompressLargeChunk(SlidingWindow& window, const uint8_t* data,
                                                      size_t length, uint8_t* out,
                                                      size_t capacity) {
    FastState s{data, length, 0, window.ring.data(), window.r, out, capacity, 0};
    while (s.length - s.pos >= kFastInputMargin && s.capacity - s.produced >= kFastOutputMargin)
        expandGroupFast(s);
    FlagState fl;
    expandItemsChecked(s, fl);
    catchUpRing(window, out, s.produced);
    if (s.pos >= s.length) return {s.produced, false};
    // A cut item or a full output: the rest goes through the ring.
    ChunkCursor in{data, length, s.pos};
    Expander ex{window, out, capacity, s.produced};
    expandItems(in, ex, fl);
    return {ex.produced, in.cut};
}

}  // namespace

ChunkExpansion decompressChunk(SlidingWindow& window, const uint8_t* data, size_t length,
                               uint8_t* out, size_t capacity) {
    // Nothing but the choice here, so that both calls become jumps: narrow
    // images have millions of chunks.
    if (length <= kSmallChunkBytes && capacity <= kSmallChunkBytes)
        return decompressSmallChunk(window, data, length, out, capacity);
    return decompressLargeChunk(window, data, length, out, capacity);
}

}  // namespace wzx
