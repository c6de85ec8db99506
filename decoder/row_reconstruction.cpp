// Row reconstruction: green decorrelation, horizontal and vertical sums.
#include "decoder/row_reconstruction.h"

namespace wzx {

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

void reconstructRow(const uint8_t* const channel[], unsigned channels, size_t width,
                    uint8_t* previous) {
    reconstructRowPlain(channel, channels, width, previous);
}

}  // namespace wzx
