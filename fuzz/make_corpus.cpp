// Writes the seed corpus of the fuzz targets from the same builders that the
// tests use (and the project's encoder): small images for every path of the
// conversion, compressed
// chunks with window states for the expansion, and picture shapes for the
// round trip.
//
//   wzx_fuzz_make_corpus DIR     writes DIR/convert, DIR/decompress, DIR/roundtrip
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/sample_image.h"
#include "support/wzx_builder.h"
#include "tools/picture_gen.h"
#include "tools/wzx_encoder.h"

namespace {

namespace fs = std::filesystem;
using namespace wzx::test;

struct Seed {
    std::string name;
    Bytes bytes;
};

Bytes stored3(int32_t w, int32_t h, int32_t bh, std::initializer_list<Bytes> chunks) {
    Bytes f = imageStart(3, w, h, bh);
    for (const Bytes& c : chunks) appendStored(f, c);
    return f;
}

Bytes cutAt(Bytes b, size_t size) {
    b.resize(size);
    return b;
}

std::vector<Seed> imageSeeds() {
    SampleImage s3 = sampleImage(3), s4 = sampleImage(4);
    Bytes compressedLiterals = imageStart(3, 5, 4, 4);
    appendCompressed(compressedLiterals, literals(Bytes(20, 1)));
    appendStored(compressedLiterals, Bytes(20, 0));
    appendStored(compressedLiterals, Bytes(20, 0));
    Bytes carried = imageStart(3, 1, 2, 1);
    for (const Bytes& c : {literals({42}), Bytes{0x01, 0x00, 0x00}}) {
        appendCompressed(carried, c);
        appendStored(carried, {0});
        appendStored(carried, {0});
    }
    Bytes negative = stored3(2, 2, 1, {{1, 1}, {0, 0}, {0, 0}});
    appendChunkHeader(negative, 1, -1);
    Bytes tooLarge = stored3(2, 2, 1, {{1, 1}, {0, 0}, {0, 0}});
    appendChunkHeader(tooLarge, 0, 13);
    tooLarge.insert(tooLarge.end(), 13, 0);
    Bytes itemCut = stored3(2, 1, 1, {});
    appendCompressed(itemCut, {0x01, 0x00});
    Bytes expands = stored3(2, 1, 1, {});
    appendCompressed(expands, {0x01, 0x00, 0xE0});
    Bytes badColours = s3.file;
    badColours[11] = 5;
    return {
        {"sample3.wzx", s3.file},
        {"sample4.wzx", s4.file},
        {"sample3-cut-in-chunk.wzx", cutAt(s3.file, s3.chunks[4].header + 3)},
        {"sample4-cut-in-data.wzx", cutAt(s4.file, s4.chunks[5].end - 2)},
        {"one-pixel.wzx", stored3(1, 1, 1, {{1}, {2}, {3}})},
        {"short-last-block.wzx", stored3(2, 5, 2,
                                         {{1, 0, 1, 0},
                                          {0, 0, 0, 0},
                                          {0, 0, 0, 0},
                                          {1, 0, 1, 0},
                                          {0, 0, 0, 0},
                                          {0, 0, 0, 0},
                                          {0, 1},
                                          {0, 0},
                                          {0, 0}})},
        {"compressed-literals.wzx", compressedLiterals},
        {"window-across-blocks.wzx", carried},
        {"width-zero.wzx", stored3(0, 3, 1, {{1}, {2}, {3}, {1}, {2}, {3}, {1}, {2}, {3}})},
        {"header-only.wzx", imageStart(3, 7, 0, 1)},
        {"tall-block-one-row.wzx", stored3(2, 1, INT32_MAX, {{1, 1}, {0, 0}, {0, 0}})},
        {"negative-size.wzx", negative},
        {"too-large.wzx", tooLarge},
        {"item-cut.wzx", itemCut},
        {"expands-too-far.wzx", expands},
        {"bad-signature.wzx", cutAt(s3.file, 10)},
        {"bad-colours.wzx", badColours},
        {"zero-block-height.wzx", imageStart(3, 1, 1, 0)},
    };
}

// Small pictures through the project's encoder: real match searches, with
// the three chunk modes and a window that wraps.
std::vector<Seed> encodedSeeds() {
    using namespace wzxtools;
    struct {
        const char* name;
        Picture picture;
        int32_t blockHeight;
        ChunkMode mode;
    } pictures[] = {
        {"encoded-illustration.wzx", makeIllustration(24, 16, 3, 7), 8, ChunkMode::compressed},
        {"encoded-gradient-alpha-mixed.wzx", makeGradient(20, 12, 4), 5, ChunkMode::mixed},
        {"encoded-noise-stored.wzx", makeNoise(9, 7, 3, 3), 3, ChunkMode::stored},
        {"encoded-edges-one-block.wzx", makeEdges(40, 10, 3), 64, ChunkMode::compressed},
        {"encoded-flat-wraps-window.wzx", makeFlat(128, 48, 3), 48, ChunkMode::compressed},
    };
    std::vector<Seed> seeds;
    for (const auto& p : pictures) {
        EncodeOptions options;
        options.blockHeight = p.blockHeight;
        options.mode = p.mode;
        seeds.push_back({p.name, encodeWzx(p.picture, options)});
    }
    return seeds;
}

// Capacity, write position and ring fill in front of the chunk's bytes.
Bytes chunkSeed(uint16_t capacity, uint16_t r, uint8_t fill, const Bytes& data) {
    Bytes b = {static_cast<uint8_t>(capacity), static_cast<uint8_t>(capacity >> 8),
               static_cast<uint8_t>(r), static_cast<uint8_t>(r >> 8), fill};
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

std::vector<Seed> chunkSeeds() {
    ItemWriter mixed;
    for (uint8_t c : {1, 2, 3}) mixed.literal(c);
    mixed.match(4095, 3);
    mixed.match(100, 17);
    mixed.match(0, 18);
    mixed.match(7, 273);
    mixed.literal(9);
    mixed.match(4090, 40);
    SampleImage s = sampleImage(4);
    Bytes sampleBlue(s.file.begin() + static_cast<long>(s.chunks[0].header) + 5,
                     s.file.begin() + static_cast<long>(s.chunks[0].end));
    return {
        {"eight-literals", chunkSeed(300, 0, 0, {0x00, 1, 2, 3, 4, 5, 6, 7, 8})},
        {"run-from-own-output", chunkSeed(300, 0, 0, {0x02, 0x41, 0x00, 0x00})},
        {"escape-max", chunkSeed(300, 0, 1, {0x01, 0x00, 0xF0, 0xFF})},
        {"wrap-at-ring-end", chunkSeed(8, 4094, 2 | (5 << 2), {0x01, 0xFF, 0x0F, 0x00})},
        {"mixed-items", chunkSeed(400, 4000, 2, mixed.bytes())},
        {"capacity-cuts-output", chunkSeed(5, 0, 0, {0x00, 1, 2, 3, 4, 5, 6, 7, 8})},
        {"zero-capacity", chunkSeed(0, 17, 3, {0x01, 0x00, 0xE0})},
        {"lone-flag-byte", chunkSeed(16, 0, 0, {0x00})},
        {"match-cut", chunkSeed(16, 0, 0, {0x01, 0x00})},
        {"escape-cut", chunkSeed(32, 0, 0, {0x01, 0x00, 0xF0})},
        {"sample-blue", chunkSeed(22, 0, 0, sampleBlue)},
    };
}

// Shape and mode bytes in front of the pixel bytes they are filled from.
Bytes pictureSeed(uint8_t width, uint8_t height, uint8_t modeBits, uint8_t blockHeight,
                  const Bytes& pixels) {
    Bytes b = {width, height, modeBits, static_cast<uint8_t>(blockHeight - 1)};
    b.insert(b.end(), pixels.begin(), pixels.end());
    return b;
}

std::vector<Seed> pictureSeeds() {
    Bytes ramp(256), noise(509);
    for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<uint8_t>(i);
    uint32_t x = 12345;
    for (uint8_t& b : noise) {
        x = x * 1103515245u + 12345u;
        b = static_cast<uint8_t>(x >> 16);
    }
    const uint8_t compressed = 0 << 1, stored = 1 << 1, mixed = 2 << 1, alpha = 1;
    const uint8_t mark255 = 31 << 3;
    return {
        {"flat", pictureSeed(16, 8, compressed, 4, {7, 7, 7})},
        {"ramp-alpha", pictureSeed(64, 16, compressed | alpha, 16, ramp)},
        {"noise-mixed", pictureSeed(100, 30, mixed, 7, noise)},
        {"noise-stored-mark255", pictureSeed(33, 5, stored | mark255 | alpha, 2, noise)},
        {"tall-block", pictureSeed(128, 64, compressed, 80, ramp)},
        {"one-pixel", pictureSeed(1, 1, compressed, 1, {200, 100, 50})},
        {"empty", pictureSeed(0, 0, compressed, 1, {})},
        {"width-zero", pictureSeed(0, 12, mixed, 5, {})},
    };
}

bool writeAll(const fs::path& dir, const std::vector<Seed>& seeds) {
    fs::create_directories(dir);
    for (const Seed& s : seeds) {
        std::ofstream out(dir / s.name, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(s.bytes.data()),
                  static_cast<std::streamsize>(s.bytes.size()));
        if (!out) return false;
    }
    return true;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fputs("usage: wzx_fuzz_make_corpus DIR\n", stderr);
        return 2;
    }
    fs::path root = argv[1];
    if (!writeAll(root / "convert", imageSeeds()) || !writeAll(root / "convert", encodedSeeds()) ||
        !writeAll(root / "decompress", chunkSeeds()) ||
        !writeAll(root / "roundtrip", pictureSeeds())) {
        std::fprintf(stderr, "%s: cannot write the corpus\n", argv[1]);
        return 1;
    }
    return 0;
}
