// Writes a few small WZX5 images into a directory, for the tests that run an
// installed or packaged program: they need real inputs whether or not
// examples/ holds any yet.
#include <cstdio>
#include <filesystem>
#include <string>

#include "support/wzx_builder.h"

namespace {

using wzx::test::appendCompressed;
using wzx::test::appendStored;
using wzx::test::Bytes;
using wzx::test::imageStart;
using wzx::test::literals;

// Deterministic filler bytes, different per seed.
Bytes pattern(size_t n, uint8_t seed) {
    Bytes b(n);
    uint32_t x = 0x9E3779B9u * (seed + 1u);
    for (uint8_t& v : b) {
        x = x * 1664525u + 1013904223u;
        v = static_cast<uint8_t>(x >> 24);
    }
    return b;
}

// 3 channels, 5 × 4 in blocks of 2 rows: stored chunks, rows that need
// one pad byte each.
Bytes storedImage() {
    Bytes b = imageStart(3, 5, 4, 2);
    for (uint8_t block = 0; block < 2; ++block)
        for (uint8_t c = 0; c < 3; ++c) appendStored(b, pattern(10, block * 3 + c));
    return b;
}

// 4 channels, 6 × 3 in blocks of 2 rows: compressed chunks. In the first
// block each chunk ends with a match on ring positions 0-5, which hold the
// very first chunk's literals, since one window serves every chunk.
Bytes compressedImage() {
    Bytes b = imageStart(4, 6, 3, 2);
    for (uint8_t block = 0; block < 2; ++block) {
        for (uint8_t c = 0; c < 4; ++c) {
            Bytes row = pattern(6, 20 + block * 4 + c);
            // Six literals, then a match: ring position 0, length 6.
            Bytes chunk = {0x40};
            chunk.insert(chunk.end(), row.begin(), row.end());
            chunk.push_back(0x00);
            chunk.push_back(0x30);
            if (block == 1) chunk = literals(row);
            appendCompressed(b, chunk);
        }
    }
    return b;
}

// Stored and compressed chunks side by side in one block.
Bytes mixedImage() {
    Bytes b = imageStart(3, 4, 2, 2);
    appendStored(b, pattern(8, 40));
    appendCompressed(b, literals(pattern(8, 41)));
    appendStored(b, pattern(8, 42));
    return b;
}

bool writeFile(const std::filesystem::path& path, const Bytes& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fputs("usage: wzx_make_samples DIRECTORY\n", stderr);
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    const struct {
        const char* name;
        Bytes bytes;
    } samples[] = {
        {"stored.wzx", storedImage()},
        {"compressed.wzx", compressedImage()},
        {"mixed.wzx", mixedImage()},
        {"empty.wzx", imageStart(3, 7, 0, 1)},
    };
    for (const auto& s : samples) {
        if (!writeFile(dir / s.name, s.bytes)) {
            std::perror((dir / s.name).c_str());
            return 1;
        }
    }
    return 0;
}
