// Row reconstruction: green decorrelation, horizontal and vertical sums.
// The plain per-pixel loop is the reference; the SSE2 path does sixteen
// pixels per step, with the running sum as a logarithmic prefix sum.
#include "decoder/row_reconstruction.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace wzx {

namespace {

// Running sums carried from one stretch of a row into the next.
struct Accumulators {
    uint8_t acc[4] = {0, 0, 0, 0};
};

#if defined(__SSE2__)

constexpr size_t kStep = kWideRowPixels;

// Running sum of sixteen bytes, plus the sum carried in from the left
// (all lanes alike); carry moves on by the sixteen bytes' total.
inline __m128i runningSum(__m128i v, __m128i& carry) {
    v = _mm_add_epi8(v, _mm_slli_si128(v, 1));
    v = _mm_add_epi8(v, _mm_slli_si128(v, 2));
    v = _mm_add_epi8(v, _mm_slli_si128(v, 4));
    v = _mm_add_epi8(v, _mm_slli_si128(v, 8));
    // Lane 15 now holds the total; spread it over all lanes.
    __m128i total = _mm_unpackhi_epi8(v, v);
    total = _mm_shufflehi_epi16(total, 0xFF);
    total = _mm_shuffle_epi32(total, 0xFF);
    v = _mm_add_epi8(v, carry);
    carry = _mm_add_epi8(carry, total);
    return v;
}

inline void addTo(uint8_t* dst, __m128i v) {
    __m128i* p = reinterpret_cast<__m128i*>(dst);
    _mm_storeu_si128(p, _mm_add_epi8(_mm_loadu_si128(p), v));
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

// Whole steps of sixteen pixels; returns the number of pixels done.
size_t reconstructWide(const uint8_t* const channel[], unsigned channels, size_t width,
                       uint8_t* previous, Accumulators& a) {
    const bool alpha = channels == 4;
    __m128i carry[4];
    for (unsigned c = 0; c < 4; ++c) carry[c] = _mm_set1_epi8(static_cast<char>(a.acc[c]));
    const __m128i zero = _mm_setzero_si128();
    size_t x = 0;
    for (; width - x >= kStep; x += kStep) {
        __m128i d1 = load(channel[1] + x);
        __m128i s0 = runningSum(_mm_add_epi8(load(channel[0] + x), d1), carry[0]);
        __m128i s1 = runningSum(d1, carry[1]);
        __m128i s2 = runningSum(_mm_add_epi8(load(channel[2] + x), d1), carry[2]);
        __m128i s3 = alpha ? runningSum(load(channel[3] + x), carry[3]) : zero;
        Quad q = interleave(s0, s1, s2, s3);
        uint8_t* row = previous + x * channels;
        if (alpha) {
            for (int i = 0; i < 4; ++i) addTo(row + 16 * i, q.px[i]);
        } else {
            __m128i c0 = packThree(q.px[0]), c1 = packThree(q.px[1]);
            __m128i c2 = packThree(q.px[2]), c3 = packThree(q.px[3]);
            addTo(row, _mm_or_si128(c0, _mm_slli_si128(c1, 12)));
            addTo(row + 16, _mm_or_si128(_mm_srli_si128(c1, 4), _mm_slli_si128(c2, 8)));
            addTo(row + 32, _mm_or_si128(_mm_srli_si128(c2, 8), _mm_slli_si128(c3, 4)));
        }
    }
    for (unsigned c = 0; c < 4; ++c) a.acc[c] = static_cast<uint8_t>(_mm_cvtsi128_si32(carry[c]));
    return x;
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

void reconstructWideRow(const uint8_t* const channel[], unsigned channels, size_t width,
                        uint8_t* previous) {
    Accumulators a;
    size_t done = 0;
#if defined(__SSE2__)
    done = reconstructWide(channel, channels, width, previous, a);
#endif
    if (channels == 4)
        reconstructPixels<4>(channel, done, width, previous, a.acc);
    else
        reconstructPixels<3>(channel, done, width, previous, a.acc);
}

}  // namespace wzx
