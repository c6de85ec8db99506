// The forward prediction against the decoder's reconstruction: known small
// rows give known channel bytes, and random rows come back unchanged.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "decoder/row_reconstruction.h"
#include "tools/forward_prediction.h"
#include "tools/picture_gen.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Channel bytes of one row, as planes[c][x].
std::vector<Bytes> predict(const Bytes& row, const Bytes* above, unsigned channels) {
    size_t width = row.size() / channels;
    std::vector<Bytes> planes(channels, Bytes(width));
    uint8_t* out[4] = {};
    for (unsigned c = 0; c < channels; ++c) out[c] = planes[c].data();
    wzxtools::predictRow(row.data(), above ? above->data() : nullptr, channels, width, out);
    return planes;
}

TEST(ForwardPrediction, KnownRowsGiveKnownChannelBytes) {
    struct Case {
        const char* name;
        unsigned channels;
        Bytes above;  // empty: the top row
        Bytes row;
        std::vector<Bytes> want;  // per channel
    };
    const Case cases[] = {
        {"green is the base of blue and red", 3, {}, {3, 2, 5}, {{1}, {2}, {3}}},
        {"blue below green wraps", 3, {}, {0, 100, 0}, {{156}, {100}, {156}}},
        {"horizontal difference", 3, {}, {1, 0, 0, 2, 0, 0}, {{1, 1}, {0, 0}, {0, 0}}},
        {"vertical difference", 3, {5, 0, 0}, {10, 0, 0}, {{5}, {0}, {0}}},
        {"alpha stands alone", 4, {}, {0, 9, 0, 7}, {{247}, {9}, {247}, {7}}},
        {"both directions",
         4,
         {1, 2, 3, 4, 10, 20, 30, 40},
         {2, 4, 6, 8, 12, 24, 36, 48},
         {{255, 255}, {2, 2}, {1, 1}, {4, 4}}},
    };
    for (const Case& k : cases) {
        std::vector<Bytes> have = predict(k.row, k.above.empty() ? nullptr : &k.above, k.channels);
        EXPECT_EQ(have, k.want) << k.name;
    }
}

// Random rows of several widths, each predicted against the row above and
// rebuilt with the decoder's reconstruction from that same row above.
TEST(ForwardPrediction, ReconstructionUndoesIt) {
    wzxtools::SplitMix64 rng{5};
    for (unsigned channels : {3u, 4u}) {
        for (size_t width : {1u, 2u, 7u, 64u, 333u}) {
            Bytes above(width * channels), row(width * channels);
            for (uint8_t& b : above) b = static_cast<uint8_t>(rng.next());
            for (uint8_t& b : row) b = static_cast<uint8_t>(rng.next());
            for (bool top : {true, false}) {
                std::vector<Bytes> planes = predict(row, top ? nullptr : &above, channels);
                const uint8_t* in[4] = {};
                for (unsigned c = 0; c < channels; ++c) in[c] = planes[c].data();
                Bytes rebuilt = top ? Bytes(row.size(), 0) : above;
                wzx::reconstructRow(in, channels, width, rebuilt.data());
                EXPECT_EQ(rebuilt, row) << channels << " channels, width " << width
                                        << (top ? ", top row" : ", below a row");
            }
        }
    }
}

}  // namespace
