// Undoing the three layers of pixel prediction for one row.
//
// Channel bytes D are, per pixel x of row y, with all sums modulo 256:
//   T0 = D0 + D1,  T1 = D1,  T2 = D2 + D1,  T3 = D3      (green decorrelation)
//   P(c, x, y) = P(c, x, y - 1) + sum of Tc(i, y) for i = 0..x,  P(c, x, -1) = 0
// so each row is a running sum along x (horizontal prediction) added onto
// the row above (vertical prediction). Alpha takes no part in the
// decorrelation.
#pragma once

#include <cstddef>
#include <cstdint>

namespace wzx {

// Pixels [from, width) of a row one at a time, out = above + running sums,
// the sums carried in and out through acc; above may be out itself. The
// fast path's row ends, and whole narrow rows.
template <unsigned kChannels>
inline void reconstructPixels(const uint8_t* const channel[], size_t from, size_t width,
                              const uint8_t* above, uint8_t* out, uint8_t acc[4]) {
    for (size_t x = from; x < width; ++x) {
        uint8_t d1 = channel[1][x];
        acc[0] = static_cast<uint8_t>(acc[0] + channel[0][x] + d1);
        acc[1] = static_cast<uint8_t>(acc[1] + d1);
        acc[2] = static_cast<uint8_t>(acc[2] + channel[2][x] + d1);
        if constexpr (kChannels == 4) acc[3] = static_cast<uint8_t>(acc[3] + channel[3][x]);
        const size_t at = x * kChannels;
        for (unsigned c = 0; c < kChannels; ++c)
            out[at + c] = static_cast<uint8_t>(above[at + c] + acc[c]);
    }
}

// Rows at least this wide go through the vector path.
inline constexpr size_t kWideRowPixels = 16;

// reconstructRowInto for rows of kWideRowPixels or more: SSE2, or for three
// channels SSSE3 where the processor has it (checked at run time).
void reconstructWideRow(const uint8_t* const channel[], unsigned channels, size_t width,
                        const uint8_t* above, uint8_t* out);
// The same without the run-time choice: SSE2 only (or scalar off x86-64).
// Callable on its own so that it stays tested on processors with SSSE3.
void reconstructWideRowBaseline(const uint8_t* const channel[], unsigned channels, size_t width,
                                const uint8_t* above, uint8_t* out);

// Builds a row into out (width × channels bytes, pixels interleaved in
// channel order) from the row above it and the row's channel bytes
// channel[c][0..width); channels is 3 or 4. above may be out itself. Narrow
// rows are done inline: a narrow image has millions of them.
inline void reconstructRowInto(const uint8_t* const channel[], unsigned channels, size_t width,
                               const uint8_t* above, uint8_t* out) {
    if (width >= kWideRowPixels) {
        reconstructWideRow(channel, channels, width, above, out);
        return;
    }
    uint8_t acc[4] = {0, 0, 0, 0};
    if (channels == 4)
        reconstructPixels<4>(channel, 0, width, above, out, acc);
    else
        reconstructPixels<3>(channel, 0, width, above, out, acc);
}

// Turns `previous`, the row above, into this row in place.
inline void reconstructRow(const uint8_t* const channel[], unsigned channels, size_t width,
                           uint8_t* previous) {
    reconstructRowInto(channel, channels, width, previous, previous);
}

// Rows of a one-pixel-wide image in whole steps of sixteen, row y going to
// out - 4 × y (a bottom-up output with a 4-byte stride), with the pixel
// above carried in and out through px. Returns the number of rows done; the
// bytes of a row past its channels are left as they are.
size_t reconstructColumnSteps(const uint8_t* const channel[], unsigned channels, size_t rows,
                              uint8_t px[4], uint8_t* out);

// A block's rows of a narrow image (width below kWideRowPixels), one after
// another: row i's channel bytes start at channel[c] + i × width, and the
// finished row i goes to `previous` (which ends as the block's last row) and
// to out + i × outPitch. One loop for the lot, since a narrow image has
// millions of rows and per-row calls would outweigh its few pixels.
template <unsigned kChannels>
void reconstructColumnRows(const uint8_t* const channel[], size_t rows, uint8_t* previous,
                           uint8_t* out, ptrdiff_t outPitch) {
    // One pixel per row: no running sum along the row, and the pixel above
    // stays in registers.
    uint8_t px[4] = {0, 0, 0, 0};
    for (unsigned c = 0; c < kChannels; ++c) px[c] = previous[c];
    size_t y = 0;
    // Both pixel sizes make a 4-byte stride, so the rows lie side by side.
    if (outPitch == -4) {
        y = reconstructColumnSteps(channel, kChannels, rows, px, out);
        out -= 4 * y;
    }
    for (; y < rows; ++y) {
        uint8_t d1 = channel[1][y];
        px[0] = static_cast<uint8_t>(px[0] + channel[0][y] + d1);
        px[1] = static_cast<uint8_t>(px[1] + d1);
        px[2] = static_cast<uint8_t>(px[2] + channel[2][y] + d1);
        if constexpr (kChannels == 4) px[3] = static_cast<uint8_t>(px[3] + channel[3][y]);
        for (unsigned c = 0; c < kChannels; ++c) out[c] = px[c];
        out += outPitch;
    }
    for (unsigned c = 0; c < kChannels; ++c) previous[c] = px[c];
}

template <unsigned kChannels>
void reconstructNarrowRows(const uint8_t* const channel[], size_t width, size_t rows,
                           uint8_t* previous, uint8_t* out, ptrdiff_t outPitch) {
    if (width == 1) return reconstructColumnRows<kChannels>(channel, rows, previous, out, outPitch);
    // A private copy of the row above, which out cannot alias.
    uint8_t row[kWideRowPixels * kChannels];
    const size_t bytes = width * kChannels;
    for (size_t i = 0; i < bytes; ++i) row[i] = previous[i];
    const uint8_t* d[kChannels];
    for (unsigned c = 0; c < kChannels; ++c) d[c] = channel[c];
    for (size_t y = 0; y < rows; ++y) {
        uint8_t acc[4] = {0, 0, 0, 0};
        for (size_t x = 0; x < width; ++x) {
            uint8_t d1 = d[1][x];
            acc[0] = static_cast<uint8_t>(acc[0] + d[0][x] + d1);
            acc[1] = static_cast<uint8_t>(acc[1] + d1);
            acc[2] = static_cast<uint8_t>(acc[2] + d[2][x] + d1);
            if constexpr (kChannels == 4) acc[3] = static_cast<uint8_t>(acc[3] + d[3][x]);
            for (unsigned c = 0; c < kChannels; ++c) {
                uint8_t v = static_cast<uint8_t>(row[x * kChannels + c] + acc[c]);
                row[x * kChannels + c] = v;
                out[x * kChannels + c] = v;
            }
        }
        for (unsigned c = 0; c < kChannels; ++c) d[c] += width;
        out += outPitch;
    }
    for (size_t i = 0; i < bytes; ++i) previous[i] = row[i];
}

// The plain per-pixel loop, kept as the reference for reconstructRow.
void reconstructRowPlain(const uint8_t* const channel[], unsigned channels, size_t width,
                         uint8_t* previous);

}  // namespace wzx
