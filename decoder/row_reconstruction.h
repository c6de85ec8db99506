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

// Turns `previous` (width × channels bytes, pixels interleaved in channel
// order) from the row above into this row, given the row's channel bytes
// channel[c][0..width). channels is 3 or 4.
void reconstructRow(const uint8_t* const channel[], unsigned channels, size_t width,
                    uint8_t* previous);

// The plain per-pixel loop, kept as the reference for reconstructRow.
void reconstructRowPlain(const uint8_t* const channel[], unsigned channels, size_t width,
                         uint8_t* previous);

}  // namespace wzx
