// Whole-input conversion from memory into memory: header checks, both chunk
// kinds, the window and the damage handling. The output is checked against
// what the header alone says it must look like.
#include <algorithm>
#include <cstring>
#include <vector>

#include "bmp/bmp_writer.h"
#include "bmp/byte_sink.h"
#include "decoder/byte_source.h"
#include "decoder/container.h"
#include "fuzz/targets.h"

namespace wzx::fuzz {

namespace {

constexpr const char* kTarget = "convert";

// A valid header may ask for gigabytes of buffers or of output, which the
// tool then really allocates and writes. Such an input costs the fuzzer
// seconds and its memory limit without reaching any new decoder code, so it
// is skipped here; the damage tests run those headers end-to-end, under
// address-space and file-size limits. Instrumented code spends about 0.1 s
// per MiB of output, so the limits are kept low enough for thousands of runs
// a second; the BMP writer's paths for outputs above them (rows wider than
// its staging area, more rows than it holds) are left to its unit tests.
constexpr uint64_t kMaxOutputBytes = uint64_t{512} << 10;
constexpr uint64_t kMaxBufferBytes = uint64_t{2} << 20;

// What an accepted header implies; the header checks keep every product
// below inside 63 bits, except where noted.
struct Shape {
    uint64_t rows = 0;  // height, or 0 when the height is 0 or less
    uint64_t rowBytes = 0;
    uint64_t stride = 0;
    uint64_t outputBytes = 0;
    bool affordable = false;
};

Shape shapeOf(const ImageHeader& h) {
    Shape s;
    uint64_t width = static_cast<uint64_t>(h.width);
    s.rows = h.height > 0 ? static_cast<uint64_t>(h.height) : 0;
    s.rowBytes = width * h.colourCount;
    s.stride = bmpRowStride(width, h.colourCount);
    s.outputBytes = kBmpHeaderSize + s.stride * s.rows;
    if (s.rows == 0) {
        s.affordable = true;
        return s;
    }
    // Per channel first: times the channel count it could leave 64 bits.
    uint64_t blockRows = std::min<uint64_t>(static_cast<uint64_t>(h.blockHeight), s.rows);
    uint64_t perChannel = blockRows * width + kBufferSlack;
    s.affordable = s.outputBytes <= kMaxOutputBytes && perChannel <= kMaxBufferBytes &&
                   (perChannel + width) * h.colourCount <= kMaxBufferBytes;
    return s;
}

ImageHeader headerOf(const uint8_t* data, size_t size) {
    uint8_t bytes[kImageHeaderSize] = {};
    std::memcpy(bytes, data, std::min(size, kImageHeaderSize));
    return parseImageHeader(bytes);
}

ConvertStatus statusFor(HeaderCheck check) {
    switch (check) {
        case HeaderCheck::badSignature:
            return ConvertStatus::badSignature;
        case HeaderCheck::unsupportedColours:
            return ConvertStatus::unsupportedColours;
        case HeaderCheck::unsupportedSize:
            return ConvertStatus::unsupportedSize;
        case HeaderCheck::accepted:
            break;
    }
    return ConvertStatus::converted;
}

const uint8_t* rowAt(const MemorySink& out, const Shape& s, uint64_t y) {
    return out.bytes().data() + kBmpHeaderSize + (s.rows - 1 - y) * s.stride;
}

// From the damaged block on, channel bytes count as 0, so every later row
// repeats the last row before the damage (all zero when that is block 0).
void checkDamagedRows(const MemorySink& out, const ImageHeader& h, const Shape& s,
                      const DamageReport& d) {
    check(d.channel < h.colourCount, kTarget, "damage names a channel the image lacks");
    check(d.block < blockCount(h), kTarget, "damage names a block the image lacks");
    uint64_t top = d.block * static_cast<uint64_t>(h.blockHeight);
    if (s.rowBytes == 0) return;
    std::vector<uint8_t> zeros(s.rowBytes, 0);
    const uint8_t* last = top == 0 ? zeros.data() : rowAt(out, s, top - 1);
    for (uint64_t y = top; y < s.rows; ++y)
        check(std::memcmp(rowAt(out, s, y), last, s.rowBytes) == 0, kTarget,
              "a row after the damage differs from the last good row");
}

void checkOutput(const MemorySink& out, const ImageHeader& h, const Shape& s,
                 const ConvertResult& r) {
    check(r.status == ConvertStatus::converted || r.status == ConvertStatus::damaged, kTarget,
          "an accepted header into memory neither converted nor damaged");
    check((r.status == ConvertStatus::damaged) == (r.damage.what != Damage::none), kTarget,
          "status and damage report disagree");
    check(out.bytes().size() == s.outputBytes, kTarget, "output length is not 54 + S x height");
    uint8_t headers[kBmpHeaderSize];
    buildBmpHeaders(h.width, h.height, h.colourCount, headers);
    check(std::memcmp(out.bytes().data(), headers, kBmpHeaderSize) == 0, kTarget,
          "BMP headers differ from the header's shape");
    for (uint64_t y = 0; s.stride > s.rowBytes && y < s.rows; ++y) {
        const uint8_t* row = rowAt(out, s, y);
        for (uint64_t i = s.rowBytes; i < s.stride; ++i)
            check(row[i] == 0, kTarget, "a pad byte is not 0");
    }
    if (r.status == ConvertStatus::damaged) checkDamagedRows(out, h, s, r.damage);
}

}  // namespace

int convertInput(const uint8_t* data, size_t size) {
    ImageHeader h = headerOf(data, size);
    HeaderCheck verdict = checkImageHeader(h);
    Shape s;
    if (verdict == HeaderCheck::accepted) {
        s = shapeOf(h);
        if (!s.affordable) return -1;
    }
    MemorySource in(data, size);
    MemorySink out;
    ConvertResult r = convertFile(in, out);
    if (verdict != HeaderCheck::accepted) {
        check(r.status == statusFor(verdict), kTarget, "a refused header gave the wrong status");
        check(out.writeCalls() == 0, kTarget, "a refused header wrote to the output");
        return 0;
    }
    checkOutput(out, h, s, r);
    // Nothing may depend on memory the input never set.
    MemorySource again(data, size);
    MemorySink second;
    ConvertResult r2 = convertFile(again, second);
    check(r2.status == r.status && r2.damage.what == r.damage.what &&
              r2.damage.block == r.damage.block && r2.damage.channel == r.damage.channel,
          kTarget, "a second conversion reports differently");
    check(second.bytes() == out.bytes(), kTarget, "a second conversion writes other bytes");
    return 0;
}

}  // namespace wzx::fuzz
