// Deterministic pictures the project draws itself, for round-trip tests,
// samples and benchmarks. Every generator fills the picture in a few plain
// passes, so that even 8000 x 6000 takes about a second at most.
#pragma once

#include <cstdint>
#include <string>

#include "tools/picture.h"

namespace wzxtools {

// A small, fast, seedable generator (splitmix64), so that pictures do not
// depend on the standard library's distributions.
struct SplitMix64 {
    uint64_t state = 0;
    uint64_t next() {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform enough in 0 .. n - 1 for drawing; n must not be 0.
    uint32_t below(uint32_t n) { return static_cast<uint32_t>(next() % n); }
};

// With four channels the alpha is a radial gradient, except for noise,
// whose alpha is noise as well.

// Smooth ramps: blue along x, green along y, red along the diagonal.
Picture makeGradient(int32_t width, int32_t height, unsigned channels);
// Every byte independent and uniform.
Picture makeNoise(int32_t width, int32_t height, unsigned channels, uint64_t seed);
// A grid of rectangles, each of one flat colour.
Picture makeFlat(int32_t width, int32_t height, unsigned channels);
// Hard transitions: checkerboard, diagonal bands and vertical stripes.
Picture makeEdges(int32_t width, int32_t height, unsigned channels);
// A drawing: gradient background, flat and shaded shapes with hard edges,
// thin lines and rows of text-like glyph strokes.
Picture makeIllustration(int32_t width, int32_t height, unsigned channels, uint64_t seed);

enum class PictureKind { gradient, noise, flat, edges, illustration };

// The generator for kind; seed matters for noise and illustration only.
Picture makePicture(PictureKind kind, int32_t width, int32_t height, unsigned channels,
                    uint64_t seed);
const char* pictureKindName(PictureKind kind);
// Accepts the names pictureKindName gives.
bool parsePictureKind(const std::string& name, PictureKind& kind);

}  // namespace wzxtools
