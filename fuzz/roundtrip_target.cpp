// Round trip through the project's encoder: pixels taken from the input are
// encoded with a chosen shape and chunk mode, converted back, and must come
// out exactly as they went in.
//
// Input layout:
//   0  1  width, modulo 129
//   1  1  height, modulo 65
//   2  1  bit 0: alpha (4 channels); bits 1-2: chunk mode (compressed,
//         stored, mixed, compressed); bits 3-7: stored mark, 1..31, or 255
//   3  1  block height, 1 + the byte modulo 80 (so it may exceed the height)
//   4  .  pixel bytes, repeated to fill the picture (zeros when none)
// Repeating the bytes gives the compressor long matches to find, so the
// window, its wrap and the length escape all get used.
#include <cstring>

#include "bmp/bmp_writer.h"
#include "bmp/byte_sink.h"
#include "decoder/byte_source.h"
#include "decoder/container.h"
#include "fuzz/targets.h"
#include "tools/picture.h"
#include "tools/wzx_encoder.h"

namespace wzx::fuzz {

namespace {

constexpr const char* kTarget = "roundtrip";
constexpr size_t kPrefixBytes = 4;

wzxtools::ChunkMode modeOf(uint8_t bits) {
    switch (bits & 3) {
        case 1:
            return wzxtools::ChunkMode::stored;
        case 2:
            return wzxtools::ChunkMode::mixed;
        default:
            return wzxtools::ChunkMode::compressed;
    }
}

wzxtools::Picture pictureOf(const uint8_t* data, size_t size) {
    int32_t width = data[0] % 129;
    int32_t height = data[1] % 65;
    unsigned channels = (data[2] & 1) ? 4 : 3;
    wzxtools::Picture p = wzxtools::makeBlankPicture(width, height, channels);
    const uint8_t* fill = data + kPrefixBytes;
    size_t fillSize = size - kPrefixBytes;
    for (size_t i = 0; fillSize > 0 && i < p.pixels.size(); ++i) p.pixels[i] = fill[i % fillSize];
    return p;
}

void checkPixels(const std::vector<uint8_t>& bmp, const wzxtools::Picture& p) {
    uint64_t rowBytes = static_cast<uint64_t>(p.width) * p.channels;
    uint64_t stride = bmpRowStride(static_cast<uint64_t>(p.width), p.channels);
    uint64_t rows = static_cast<uint64_t>(p.height);
    check(bmp.size() == kBmpHeaderSize + stride * rows, kTarget, "output length");
    for (uint64_t y = 0; y < rows && rowBytes > 0; ++y) {
        const uint8_t* row = bmp.data() + kBmpHeaderSize + (rows - 1 - y) * stride;
        check(std::memcmp(row, p.pixels.data() + y * rowBytes, rowBytes) == 0, kTarget,
              "a decoded row differs from the encoded pixels");
    }
}

}  // namespace

int roundTripInput(const uint8_t* data, size_t size) {
    if (size < kPrefixBytes) return -1;
    wzxtools::Picture picture = pictureOf(data, size);
    wzxtools::EncodeOptions options;
    options.blockHeight = 1 + data[3] % 80;
    options.mode = modeOf(static_cast<uint8_t>(data[2] >> 1));
    unsigned mark = data[2] >> 3;
    options.storedMark = static_cast<uint8_t>(mark == 31 ? 255 : mark + 1);
    check(wzxtools::checkEncodable(picture, options) == nullptr, kTarget,
          "the encoder refuses a small picture");

    std::vector<uint8_t> file = wzxtools::encodeWzx(picture, options);
    check(!file.empty(), kTarget, "the encoder wrote nothing");
    check(file.size() <= wzxtools::encodedSizeBound(picture, options), kTarget,
          "the encoded file exceeds the encoder's own bound");

    MemorySource in(file);
    MemorySink out;
    ConvertResult r = convertFile(in, out);
    check(r.status == ConvertStatus::converted, kTarget,
          "an encoded file does not convert cleanly");
    checkPixels(out.bytes(), picture);
    return 0;
}

}  // namespace wzx::fuzz
