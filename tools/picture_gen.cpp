// The picture generators and the few drawing primitives they share. All
// drawing clips against the picture, so shapes may lie partly outside it.
#include "tools/picture_gen.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace wzxtools {

namespace {

struct Colour {
    uint8_t b = 0, g = 0, r = 0;
};

constexpr Colour kPalette[] = {
    {40, 40, 200},  {60, 180, 60}, {200, 120, 30},  {230, 230, 230}, {20, 20, 20},  {0, 200, 240},
    {180, 60, 160}, {120, 90, 60}, {250, 250, 120}, {90, 200, 200},  {30, 90, 220}, {160, 160, 160},
};
constexpr uint32_t kPaletteSize = sizeof kPalette / sizeof kPalette[0];

uint8_t* pixelAt(Picture& p, int64_t x, int64_t y) {
    return p.pixels.data() +
           (static_cast<size_t>(y) * static_cast<size_t>(p.width) + static_cast<size_t>(x)) *
               p.channels;
}

void putColour(uint8_t* px, Colour c) {
    px[0] = c.b;
    px[1] = c.g;
    px[2] = c.r;
}

void setPixel(Picture& p, int64_t x, int64_t y, Colour c) {
    if (x < 0 || y < 0 || x >= p.width || y >= p.height) return;
    putColour(pixelAt(p, x, y), c);
}

uint8_t lerp(uint8_t a, uint8_t b, int64_t t, int64_t span) {
    if (span <= 0) return a;
    return static_cast<uint8_t>(a + (int64_t{b} - a) * t / span);
}

// Fills [x0, x1) × [y0, y1), blending from c0 at the left to c1 at the right.
void fillRect(Picture& p, int64_t x0, int64_t y0, int64_t x1, int64_t y1, Colour c0, Colour c1) {
    const int64_t span = x1 - x0 - 1;
    const int64_t left = x0;
    x0 = std::max<int64_t>(x0, 0);
    y0 = std::max<int64_t>(y0, 0);
    x1 = std::min<int64_t>(x1, p.width);
    y1 = std::min<int64_t>(y1, p.height);
    for (int64_t y = y0; y < y1; ++y) {
        for (int64_t x = x0; x < x1; ++x) {
            int64_t t = x - left;
            putColour(pixelAt(p, x, y), {lerp(c0.b, c1.b, t, span), lerp(c0.g, c1.g, t, span),
                                         lerp(c0.r, c1.r, t, span)});
        }
    }
}

void fillCircle(Picture& p, int64_t cx, int64_t cy, int64_t radius, Colour c) {
    const int64_t y0 = std::max<int64_t>(cy - radius, 0);
    const int64_t y1 = std::min<int64_t>(cy + radius + 1, p.height);
    for (int64_t y = y0; y < y1; ++y) {
        int64_t dy = y - cy;
        // Widest dx with dx² + dy² <= radius², found by stepping in from radius.
        int64_t dx = radius;
        while (dx > 0 && dx * dx + dy * dy > radius * radius) --dx;
        int64_t x0 = std::max<int64_t>(cx - dx, 0);
        int64_t x1 = std::min<int64_t>(cx + dx + 1, p.width);
        for (int64_t x = x0; x < x1; ++x) putColour(pixelAt(p, x, y), c);
    }
}

void drawLine(Picture& p, int64_t x0, int64_t y0, int64_t x1, int64_t y1, Colour c) {
    const int64_t dx = x1 > x0 ? x1 - x0 : x0 - x1;
    const int64_t dy = y1 > y0 ? y0 - y1 : y1 - y0;
    const int64_t sx = x0 < x1 ? 1 : -1;
    const int64_t sy = y0 < y1 ? 1 : -1;
    int64_t err = dx + dy;
    for (;;) {
        setPixel(p, x0, y0, c);
        if (x0 == x1 && y0 == y1) return;
        int64_t e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

// Alpha falls from 255 at the centre to 0 at the corners, with the square
// of the distance.
void fillRadialAlpha(Picture& p) {
    if (p.channels != 4) return;
    const double cx = (p.width - 1) / 2.0, cy = (p.height - 1) / 2.0;
    const double reach = cx * cx + cy * cy;
    const double scale = reach > 0 ? 255.0 / reach : 0.0;
    for (int64_t y = 0; y < p.height; ++y) {
        const double dy2 = (y - cy) * (y - cy);
        uint8_t* px = pixelAt(p, 0, y);
        for (int64_t x = 0; x < p.width; ++x, px += 4) {
            double d2 = (x - cx) * (x - cx) + dy2;
            px[3] = static_cast<uint8_t>(255.0 - std::min(255.0, d2 * scale));
        }
    }
}

int64_t smallerSide(const Picture& p) {
    return std::max<int64_t>(std::min(p.width, p.height), 1);
}

// A vertical sky ramp, warmer towards the right.
void drawBackground(Picture& p) {
    std::vector<uint8_t> warm(static_cast<size_t>(p.width));
    for (int64_t x = 0; x < p.width; ++x) warm[x] = lerp(0, 40, x, p.width - 1);
    for (int64_t y = 0; y < p.height; ++y) {
        Colour base{lerp(230, 120, y, p.height - 1), lerp(180, 200, y, p.height - 1),
                    lerp(90, 160, y, p.height - 1)};
        uint8_t* px = pixelAt(p, 0, y);
        for (int64_t x = 0; x < p.width; ++x, px += p.channels)
            putColour(px, {base.b, base.g, static_cast<uint8_t>(base.r + warm[x])});
    }
}

// Flat rectangles and discs, and rectangles shaded from one colour to
// another; their count grows with the area, their size with the picture.
void drawShapes(Picture& p, SplitMix64& rng) {
    const int64_t side = smallerSide(p);
    const uint64_t area = static_cast<uint64_t>(p.width) * static_cast<uint64_t>(p.height);
    const uint64_t count = 10 + area / 150000;
    for (uint64_t i = 0; i < count; ++i) {
        int64_t size = side / 40 + rng.below(static_cast<uint32_t>(side / 6 + 1)) + 1;
        int64_t x = rng.below(static_cast<uint32_t>(p.width));
        int64_t y = rng.below(static_cast<uint32_t>(p.height));
        Colour c = kPalette[rng.below(kPaletteSize)];
        switch (rng.below(3)) {
            case 0:
                fillRect(p, x, y, x + size, y + size * 2 / 3 + 1, c, c);
                break;
            case 1:
                fillCircle(p, x, y, size / 2, c);
                break;
            default:
                fillRect(p, x, y, x + size * 3 / 2, y + size / 2 + 1, c,
                         kPalette[rng.below(kPaletteSize)]);
                break;
        }
    }
}

// One-pixel lines in any direction; every third one is doubled.
void drawLines(Picture& p, SplitMix64& rng) {
    const uint64_t area = static_cast<uint64_t>(p.width) * static_cast<uint64_t>(p.height);
    const uint64_t count = 10 + area / 100000;
    for (uint64_t i = 0; i < count; ++i) {
        int64_t x0 = rng.below(static_cast<uint32_t>(p.width));
        int64_t y0 = rng.below(static_cast<uint32_t>(p.height));
        int64_t x1 = rng.below(static_cast<uint32_t>(p.width));
        int64_t y1 = rng.below(static_cast<uint32_t>(p.height));
        Colour c = kPalette[rng.below(kPaletteSize)];
        drawLine(p, x0, y0, x1, y1, c);
        if (i % 3 == 0) drawLine(p, x0, y0 + 1, x1, y1 + 1, c);
    }
}

// Glyphs are a few strokes on a 4 × 6 grid: three verticals, three
// horizontals and the two diagonals, one bit each.
struct Stroke {
    int8_t x0, y0, x1, y1;
};
constexpr Stroke kStrokes[8] = {{0, 0, 0, 6}, {2, 0, 2, 6}, {4, 0, 4, 6}, {0, 0, 4, 0},
                                {0, 3, 4, 3}, {0, 6, 4, 6}, {0, 0, 4, 6}, {0, 6, 4, 0}};

void drawGlyph(Picture& p, int64_t x, int64_t y, int64_t scale, uint8_t strokes, Colour c) {
    for (unsigned s = 0; s < 8; ++s) {
        if (!(strokes & (1u << s))) continue;
        const Stroke& k = kStrokes[s];
        drawLine(p, x + k.x0 * scale, y + k.y0 * scale, x + k.x1 * scale, y + k.y1 * scale, c);
    }
}

// Paragraphs of words: rows of glyphs from a small seeded alphabet.
void drawText(Picture& p, SplitMix64& rng) {
    uint8_t alphabet[26];
    for (uint8_t& g : alphabet) {
        // Two draws, in this order: one expression would leave the order to
        // the compiler, and the pictures would change with the build.
        uint64_t strokes = rng.next();
        g = static_cast<uint8_t>(strokes | (1u << rng.below(8)));
    }
    const int64_t side = smallerSide(p);
    const uint64_t area = static_cast<uint64_t>(p.width) * static_cast<uint64_t>(p.height);
    const int64_t scale = std::min<int64_t>(1 + side / 600, 4);
    const uint64_t paragraphs = 2 + area / 1500000;
    for (uint64_t i = 0; i < paragraphs; ++i) {
        int64_t left = rng.below(static_cast<uint32_t>(p.width));
        int64_t top = rng.below(static_cast<uint32_t>(p.height));
        uint32_t lines = 3 + rng.below(6), columns = 8 + rng.below(32);
        Colour ink = i % 2 ? Colour{20, 20, 20} : kPalette[rng.below(kPaletteSize)];
        for (uint32_t line = 0; line < lines; ++line) {
            for (uint32_t col = 0; col < columns; ++col) {
                if (rng.below(6) == 0) continue;  // a space between words
                drawGlyph(p, left + col * 6 * scale, top + line * 10 * scale, scale,
                          alphabet[rng.below(26)], ink);
            }
        }
    }
}

}  // namespace

Picture makeGradient(int32_t width, int32_t height, unsigned channels) {
    Picture p = makeBlankPicture(width, height, channels);
    // Ramps by column and by x + y, so the inner loop only looks them up.
    std::vector<uint8_t> blue(static_cast<size_t>(p.width));
    std::vector<uint8_t> red(static_cast<size_t>(p.width) + static_cast<size_t>(p.height));
    for (int64_t x = 0; x < p.width; ++x) blue[x] = lerp(0, 255, x, p.width - 1);
    for (size_t s = 0; s < red.size(); ++s)
        red[s] = lerp(255, 0, static_cast<int64_t>(s), p.width + p.height - 2);
    for (int64_t y = 0; y < p.height; ++y) {
        uint8_t green = lerp(20, 235, y, p.height - 1);
        uint8_t* px = pixelAt(p, 0, y);
        for (int64_t x = 0; x < p.width; ++x, px += channels)
            putColour(px, {blue[x], green, red[static_cast<size_t>(x + y)]});
    }
    fillRadialAlpha(p);
    return p;
}

Picture makeNoise(int32_t width, int32_t height, unsigned channels, uint64_t seed) {
    Picture p = makeBlankPicture(width, height, channels);
    SplitMix64 rng{seed};
    size_t i = 0;
    for (; i + 8 <= p.pixels.size(); i += 8) {
        uint64_t v = rng.next();
        std::memcpy(p.pixels.data() + i, &v, 8);
    }
    uint64_t tail = rng.next();
    for (; i < p.pixels.size(); ++i, tail >>= 8) p.pixels[i] = static_cast<uint8_t>(tail);
    return p;
}

Picture makeFlat(int32_t width, int32_t height, unsigned channels) {
    Picture p = makeBlankPicture(width, height, channels);
    constexpr int64_t kColumns = 5, kRows = 4;
    std::vector<uint32_t> column(static_cast<size_t>(p.width));
    for (int64_t x = 0; x < p.width; ++x) column[x] = static_cast<uint32_t>(x * kColumns / p.width);
    for (int64_t y = 0; y < p.height; ++y) {
        uint32_t row = static_cast<uint32_t>(y * kRows / p.height);
        uint8_t* px = pixelAt(p, 0, y);
        for (int64_t x = 0; x < p.width; ++x, px += channels)
            putColour(px, kPalette[(column[x] * 7 + row * 3) % kPaletteSize]);
    }
    fillRadialAlpha(p);
    return p;
}

Picture makeEdges(int32_t width, int32_t height, unsigned channels) {
    Picture p = makeBlankPicture(width, height, channels);
    for (int64_t y = 0; y < p.height; ++y) {
        uint8_t* px = pixelAt(p, 0, y);
        for (int64_t x = 0; x < p.width; ++x, px += channels) {
            bool square = ((x >> 3) ^ (y >> 3)) & 1;
            bool band = ((x + 2 * y) / 13) & 1;
            bool stripe = (x / 5) % 3 == 0;
            putColour(
                px, {static_cast<uint8_t>(square ? 255 : 0), static_cast<uint8_t>(band ? 200 : 30),
                     static_cast<uint8_t>(stripe ? 250 : 10)});
        }
    }
    fillRadialAlpha(p);
    return p;
}

Picture makeIllustration(int32_t width, int32_t height, unsigned channels, uint64_t seed) {
    Picture p = makeBlankPicture(width, height, channels);
    if (p.pixels.empty()) return p;
    SplitMix64 rng{seed};
    drawBackground(p);
    drawShapes(p, rng);
    drawLines(p, rng);
    drawText(p, rng);
    fillRadialAlpha(p);
    return p;
}

Picture makePicture(PictureKind kind, int32_t width, int32_t height, unsigned channels,
                    uint64_t seed) {
    switch (kind) {
        case PictureKind::gradient:
            return makeGradient(width, height, channels);
        case PictureKind::noise:
            return makeNoise(width, height, channels, seed);
        case PictureKind::flat:
            return makeFlat(width, height, channels);
        case PictureKind::edges:
            return makeEdges(width, height, channels);
        case PictureKind::illustration:
            return makeIllustration(width, height, channels, seed);
    }
    return {};
}

const char* pictureKindName(PictureKind kind) {
    switch (kind) {
        case PictureKind::gradient:
            return "gradient";
        case PictureKind::noise:
            return "noise";
        case PictureKind::flat:
            return "flat";
        case PictureKind::edges:
            return "edges";
        case PictureKind::illustration:
            return "illustration";
    }
    return "unknown";
}

bool parsePictureKind(const std::string& name, PictureKind& kind) {
    for (PictureKind k : {PictureKind::gradient, PictureKind::noise, PictureKind::flat,
                          PictureKind::edges, PictureKind::illustration}) {
        if (name == pictureKindName(k)) {
            kind = k;
            return true;
        }
    }
    return false;
}

}  // namespace wzxtools
