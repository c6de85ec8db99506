// reshape_bmp: makes the benchmark's odd-shaped pictures from a square one.
//   reshape_bmp column ROWS IN.bmp OUT.bmp   the first ROWS pixels, in row
//                                            order, as a one-pixel-wide image
//   reshape_bmp stack TIMES IN.bmp OUT.bmp   the picture TIMES times, one
//                                            copy below the other
// Both keep the channel count, and the pixels stay photographic or drawn.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/picture.h"

namespace {

using wzxtools::Picture;

bool readPicture(const char* path, Picture& picture) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    std::string error;
    if (!in.eof() && !in) error = "cannot read";
    if (error.empty() && wzxtools::readBmpPicture(bytes, picture, error)) return true;
    std::fprintf(stderr, "reshape_bmp: %s: %s\n", path, error.c_str());
    return false;
}

bool writePicture(const char* path, const Picture& picture) {
    std::vector<uint8_t> bytes = wzxtools::writeBmpPicture(picture);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!bytes.empty() && out.flush()) return true;
    std::fprintf(stderr, "reshape_bmp: %s: cannot write\n", path);
    return false;
}

bool column(const Picture& in, uint64_t rows, Picture& out) {
    uint64_t pixels = static_cast<uint64_t>(in.width) * static_cast<uint64_t>(in.height);
    if (rows > pixels || rows > INT32_MAX) return false;
    out = {1, static_cast<int32_t>(rows), in.channels, {}};
    out.pixels.assign(in.pixels.begin(), in.pixels.begin() + static_cast<long>(rows * in.channels));
    return true;
}

bool stack(const Picture& in, uint64_t times, Picture& out) {
    if (times == 0 || static_cast<uint64_t>(in.height) * times > INT32_MAX) return false;
    out = {
        in.width, static_cast<int32_t>(in.height * static_cast<int64_t>(times)), in.channels, {}};
    out.pixels.reserve(in.pixels.size() * times);
    for (uint64_t i = 0; i < times; ++i)
        out.pixels.insert(out.pixels.end(), in.pixels.begin(), in.pixels.end());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr,
                     "usage: reshape_bmp column ROWS IN.bmp OUT.bmp\n"
                     "       reshape_bmp stack TIMES IN.bmp OUT.bmp\n");
        return 2;
    }
    std::string mode = argv[1];
    uint64_t count = std::strtoull(argv[2], nullptr, 10);
    Picture in, out;
    if (!readPicture(argv[3], in)) return 1;
    bool ok = mode == "column" ? column(in, count, out) : mode == "stack" && stack(in, count, out);
    if (!ok) {
        std::fprintf(stderr, "reshape_bmp: cannot %s %s by %s\n", argv[1], argv[3], argv[2]);
        return 1;
    }
    return writePicture(argv[4], out) ? 0 : 1;
}
