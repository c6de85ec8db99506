// Vertical, horizontal and green prediction of one row, in one pass.
#include "tools/forward_prediction.h"

namespace wzxtools {

void predictRow(const uint8_t* row, const uint8_t* above, unsigned channels, size_t width,
                uint8_t* const channel[]) {
    // The vertical difference of the pixel to the left, per channel.
    uint8_t left[4] = {0, 0, 0, 0};
    for (size_t x = 0; x < width; ++x) {
        uint8_t t[4] = {0, 0, 0, 0};
        for (unsigned c = 0; c < channels; ++c) {
            size_t i = x * channels + c;
            uint8_t v = static_cast<uint8_t>(row[i] - (above ? above[i] : 0));
            t[c] = static_cast<uint8_t>(v - left[c]);
            left[c] = v;
        }
        channel[0][x] = static_cast<uint8_t>(t[0] - t[1]);
        channel[1][x] = t[1];
        channel[2][x] = static_cast<uint8_t>(t[2] - t[1]);
        if (channels == 4) channel[3][x] = t[3];
    }
}

}  // namespace wzxtools
