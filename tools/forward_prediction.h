// The encoder's half of the pixel prediction: turns picture rows into the
// channel bytes that wzx::reconstructRow (decoder/row_reconstruction.h)
// turns back. With P the pixel bytes, all sums modulo 256:
//   V(c, x, y) = P(c, x, y) - P(c, x, y - 1),  P(c, x, -1) = 0   (vertical)
//   T(c, x, y) = V(c, x, y) - V(c, x - 1, y),  V(c, -1, y) = 0   (horizontal)
//   D1 = T1,  D0 = T0 - T1,  D2 = T2 - T1,  D3 = T3               (green)
#pragma once

#include <cstddef>
#include <cstdint>

namespace wzxtools {

// row and above are width × channels interleaved bytes; above is nullptr
// for the top row of the picture. channel[c] receives width bytes.
// channels is 3 or 4.
void predictRow(const uint8_t* row, const uint8_t* above, unsigned channels, size_t width,
                uint8_t* const channel[]);

}  // namespace wzxtools
