// Row reconstruction: green decorrelation, horizontal and vertical sums.
// The plain per-pixel loop is the reference; the SSE2 path does sixteen
// pixels per step, with the running sum as a logarithmic prefix sum.
#include "decoder/row_reconstruction.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#if defined(__GNUC__) || defined(__clang__)
#include <tmmintrin.h>
#endif
#endif

namespace wzx {

namespace {

// Running sums carried from one stretch of a row into the next.
struct Accumulators {
    uint8_t acc[4] = {0, 0, 0, 0};
};

#if defined(__SSE2__)

constexpr size_t kStep = kWideRowPixels;

// Lane i becomes the sum of lanes 0..i, in four shifted adds.
inline __m128i prefixSums(__m128i v) {
    v = _mm_add_epi8(v, _mm_slli_si128(v, 1));
    v = _mm_add_epi8(v, _mm_slli_si128(v, 2));
    v = _mm_add_epi8(v, _mm_slli_si128(v, 4));
    return _mm_add_epi8(v, _mm_slli_si128(v, 8));
}

// Running sum of sixteen bytes, plus the sum carried in from the left
// (all lanes alike); carry moves on by the sixteen bytes' total.
inline __m128i runningSum(__m128i v, __m128i& carry) {
    v = prefixSums(v);
    // Lane 15 now holds the total; spread it over all lanes.
    __m128i total = _mm_unpackhi_epi8(v, v);
    total = _mm_shufflehi_epi16(total, 0xFF);
    total = _mm_shuffle_epi32(total, 0xFF);
    v = _mm_add_epi8(v, carry);
    carry = _mm_add_epi8(carry, total);
    return v;
}

// out[at..at+16) = above[at..at+16) + v; above may be out itself.
inline void addTo(const uint8_t* above, uint8_t* out, size_t at, __m128i v) {
    __m128i up = _mm_loadu_si128(reinterpret_cast<const __m128i*>(above + at));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + at), _mm_add_epi8(up, v));
}

inline __m128i load(const uint8_t* src) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
}

// Four pixels as 32-bit lanes 0x00RRGGBB packed into the low 12 bytes.
inline __m128i packThree(__m128i px) {
    const __m128i lowPixel = _mm_set_epi32(0, 0x00FFFFFF, 0, 0x00FFFFFF);
    const __m128i highPixel = _mm_set_epi32(0x0000FFFF, static_cast<int>(0xFF000000u), 0x0000FFFF,
                                            static_cast<int>(0xFF000000u));
    const __m128i lowHalf = _mm_set_epi32(0, 0, -1, -1);
    const __m128i above4 = _mm_set_epi32(-1, -1, -1, 0);
    // Each 64-bit half: pixel 0 in bytes 0-2, pixel 1 in bytes 3-5, bytes
    // 6-7 zero. Then the high half moves down next to the low one.
    __m128i halves =
        _mm_or_si128(_mm_and_si128(px, lowPixel), _mm_and_si128(_mm_srli_epi64(px, 8), highPixel));
    return _mm_or_si128(_mm_and_si128(halves, lowHalf),
                        _mm_and_si128(_mm_srli_si128(halves, 2), above4));
}

// Sixteen pixels, channel bytes a0..a3 already summed, as 32-bit lanes in
// channel order: four vectors of four pixels.
struct Quad {
    __m128i px[4];
};

inline Quad interleave(__m128i a0, __m128i a1, __m128i a2, __m128i a3) {
    __m128i bgLow = _mm_unpacklo_epi8(a0, a1);
    __m128i bgHigh = _mm_unpackhi_epi8(a0, a1);
    __m128i raLow = _mm_unpacklo_epi8(a2, a3);
    __m128i raHigh = _mm_unpackhi_epi8(a2, a3);
    return {{_mm_unpacklo_epi16(bgLow, raLow), _mm_unpackhi_epi16(bgLow, raLow),
             _mm_unpacklo_epi16(bgHigh, raHigh), _mm_unpackhi_epi16(bgHigh, raHigh)}};
}

// Sixteen steps of the running sums from channel bytes at offset i: blue
// and red carry green's difference, alpha (when there) stands alone. Both
// a row's pixels and a column's rows are such sums.
inline Quad sumSixteen(const uint8_t* const channel[], bool alpha, size_t i, __m128i carry[4]) {
    __m128i d1 = load(channel[1] + i);
    __m128i s0 = runningSum(_mm_add_epi8(load(channel[0] + i), d1), carry[0]);
    __m128i s1 = runningSum(d1, carry[1]);
    __m128i s2 = runningSum(_mm_add_epi8(load(channel[2] + i), d1), carry[2]);
    __m128i s3 = alpha ? runningSum(load(channel[3] + i), carry[3]) : _mm_setzero_si128();
    return interleave(s0, s1, s2, s3);
}

// Whole steps of sixteen pixels; returns the number of pixels done.
size_t reconstructWide(const uint8_t* const channel[], unsigned channels, size_t width,
                       const uint8_t* above, uint8_t* out, Accumulators& a) {
    const bool alpha = channels == 4;
    __m128i carry[4];
    for (unsigned c = 0; c < 4; ++c) carry[c] = _mm_set1_epi8(static_cast<char>(a.acc[c]));
    size_t x = 0;
    for (; width - x >= kStep; x += kStep) {
        Quad q = sumSixteen(channel, alpha, x, carry);
        const size_t at = x * channels;
        if (alpha) {
            for (size_t i = 0; i < 4; ++i) addTo(above, out, at + 16 * i, q.px[i]);
        } else {
            __m128i c0 = packThree(q.px[0]), c1 = packThree(q.px[1]);
            __m128i c2 = packThree(q.px[2]), c3 = packThree(q.px[3]);
            addTo(above, out, at, _mm_or_si128(c0, _mm_slli_si128(c1, 12)));
            addTo(above, out, at + 16, _mm_or_si128(_mm_srli_si128(c1, 4), _mm_slli_si128(c2, 8)));
            addTo(above, out, at + 32, _mm_or_si128(_mm_srli_si128(c2, 8), _mm_slli_si128(c3, 4)));
        }
    }
    for (unsigned c = 0; c < 4; ++c) a.acc[c] = static_cast<uint8_t>(_mm_cvtsi128_si32(carry[c]));
    return x;
}

// Sixteen rows of a column, y going down in memory: the vertical sums are
// running sums along the channel bytes, and each vector of four pixels goes
// out in reverse lane order. Three channels keep the pad byte of each row.
size_t reconstructColumnWide(const uint8_t* const channel[], unsigned channels, size_t rows,
                             uint8_t px[4], uint8_t* out) {
    const bool alpha = channels == 4;
    __m128i carry[4];
    for (unsigned c = 0; c < 4; ++c) carry[c] = _mm_set1_epi8(static_cast<char>(px[c]));
    const __m128i padBytes = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    size_t y = 0;
    for (; rows - y >= kStep; y += kStep) {
        Quad q = sumSixteen(channel, alpha, y, carry);
        for (size_t i = 0; i < 4; ++i) {
            // Rows y + 4i + 3 down to y + 4i, lowest address first.
            auto* at = reinterpret_cast<__m128i*>(out - 4 * (y + 4 * i + 3));
            __m128i v = _mm_shuffle_epi32(q.px[i], 0x1B);
            if (!alpha) v = _mm_or_si128(v, _mm_and_si128(_mm_loadu_si128(at), padBytes));
            _mm_storeu_si128(at, v);
        }
    }
    for (unsigned c = 0; c < 4; ++c) px[c] = static_cast<uint8_t>(_mm_cvtsi128_si32(carry[c]));
    return y;
}

#endif

#if defined(__SSE2__) && (defined(__GNUC__) || defined(__clang__))
#define WZX_HAVE_SSSE3_PATH 1

// Three channels with SSSE3's byte shuffle, which interleaves sixteen
// pixels in nine shuffles where SSE2 needs some forty masks and shifts. Only
// called after a run-time check: baseline x86-64 has no SSSE3.
__attribute__((target("ssse3"))) size_t reconstructWideThreeSsse3(const uint8_t* const channel[],
                                                                  size_t width,
                                                                  const uint8_t* above,
                                                                  uint8_t* out, Accumulators& a) {
    // Output byte 16k + i of a step is channel (16k + i) % 3 of pixel
    // (16k + i) / 3; -1 (0x80 set) leaves the byte 0.
    alignas(16) static constexpr int8_t kPlace[3][3][16] = {
        {{0, -1, -1, 1, -1, -1, 2, -1, -1, 3, -1, -1, 4, -1, -1, 5},
         {-1, 0, -1, -1, 1, -1, -1, 2, -1, -1, 3, -1, -1, 4, -1, -1},
         {-1, -1, 0, -1, -1, 1, -1, -1, 2, -1, -1, 3, -1, -1, 4, -1}},
        {{-1, -1, 6, -1, -1, 7, -1, -1, 8, -1, -1, 9, -1, -1, 10, -1},
         {5, -1, -1, 6, -1, -1, 7, -1, -1, 8, -1, -1, 9, -1, -1, 10},
         {-1, 5, -1, -1, 6, -1, -1, 7, -1, -1, 8, -1, -1, 9, -1, -1}},
        {{-1, 11, -1, -1, 12, -1, -1, 13, -1, -1, 14, -1, -1, 15, -1, -1},
         {-1, -1, 11, -1, -1, 12, -1, -1, 13, -1, -1, 14, -1, -1, 15, -1},
         {10, -1, -1, 11, -1, -1, 12, -1, -1, 13, -1, -1, 14, -1, -1, 15}},
    };
    __m128i place[3][3];
    for (int k = 0; k < 3; ++k)
        for (int c = 0; c < 3; ++c)
            place[k][c] = load(reinterpret_cast<const uint8_t*>(kPlace[k][c]));
    const __m128i lastLane = _mm_set1_epi8(15);
    __m128i carry[3];
    for (unsigned c = 0; c < 3; ++c) carry[c] = _mm_set1_epi8(static_cast<char>(a.acc[c]));
    size_t x = 0;
    for (; width - x >= kStep; x += kStep) {
        __m128i d1 = load(channel[1] + x);
        __m128i t[3] = {_mm_add_epi8(load(channel[0] + x), d1), d1,
                        _mm_add_epi8(load(channel[2] + x), d1)};
        __m128i s[3];
        for (int c = 0; c < 3; ++c) {
            __m128i v = prefixSums(t[c]);
            s[c] = _mm_add_epi8(v, carry[c]);
            carry[c] = _mm_add_epi8(carry[c], _mm_shuffle_epi8(v, lastLane));
        }
        for (int k = 0; k < 3; ++k) {
            __m128i px = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(s[0], place[k][0]),
                                                   _mm_shuffle_epi8(s[1], place[k][1])),
                                      _mm_shuffle_epi8(s[2], place[k][2]));
            addTo(above, out, x * 3 + 16 * static_cast<size_t>(k), px);
        }
    }
    for (unsigned c = 0; c < 3; ++c) a.acc[c] = static_cast<uint8_t>(_mm_cvtsi128_si32(carry[c]));
    return x;
}

bool hasSsse3() {
    static const bool has = __builtin_cpu_supports("ssse3");
    return has;
}

#endif

}  // namespace

void reconstructRowPlain(const uint8_t* const channel[], unsigned channels, size_t width,
                         uint8_t* previous) {
    uint8_t acc0 = 0, acc1 = 0, acc2 = 0, acc3 = 0;
    const uint8_t* d0 = channel[0];
    const uint8_t* d1 = channel[1];
    const uint8_t* d2 = channel[2];
    const uint8_t* d3 = channels == 4 ? channel[3] : nullptr;
    for (size_t x = 0; x < width; ++x) {
        acc0 = static_cast<uint8_t>(acc0 + d0[x] + d1[x]);
        acc1 = static_cast<uint8_t>(acc1 + d1[x]);
        acc2 = static_cast<uint8_t>(acc2 + d2[x] + d1[x]);
        uint8_t* px = previous + x * channels;
        px[0] = static_cast<uint8_t>(px[0] + acc0);
        px[1] = static_cast<uint8_t>(px[1] + acc1);
        px[2] = static_cast<uint8_t>(px[2] + acc2);
        if (d3) {
            acc3 = static_cast<uint8_t>(acc3 + d3[x]);
            px[3] = static_cast<uint8_t>(px[3] + acc3);
        }
    }
}

size_t reconstructColumnSteps(const uint8_t* const channel[], unsigned channels, size_t rows,
                              uint8_t px[4], uint8_t* out) {
#if defined(__SSE2__)
    return reconstructColumnWide(channel, channels, rows, px, out);
#else
    (void)channel, (void)channels, (void)rows, (void)px, (void)out;
    return 0;
#endif
}

void reconstructWideRow(const uint8_t* const channel[], unsigned channels, size_t width,
                        const uint8_t* above, uint8_t* out) {
#if defined(WZX_HAVE_SSSE3_PATH)
    if (channels == 3 && hasSsse3()) {
        Accumulators a;
        size_t done = reconstructWideThreeSsse3(channel, width, above, out, a);
        reconstructPixels<3>(channel, done, width, above, out, a.acc);
        return;
    }
#endif
    reconstructWideRowBaseline(channel, channels, width, above, out);
}

void reconstructWideRowBaseline(const uint8_t* const channel[], unsigned channels, size_t width,
                                const uint8_t* above, uint8_t* out) {
    Accumulators a;
    size_t done = 0;
#if defined(__SSE2__)
    done = reconstructWide(channel, channels, width, above, out, a);
#endif
    if (channels == 4)
        reconstructPixels<4>(channel, done, width, above, out, a.acc);
    else
        reconstructPixels<3>(channel, done, width, above, out, a.acc);
}

}  // namespace wzx
