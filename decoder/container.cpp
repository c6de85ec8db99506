// Header parsing and checking, and the order of a conversion's steps.
#include "decoder/container.h"

#include <cstring>

#include "bmp/bmp_writer.h"
#include "decoder/byte_order.h"
#include "decoder/image_decoder.h"

namespace wzx {

namespace {

constexpr uint64_t kMax63 = (uint64_t{1} << 63) - 1;

// a × b + add without leaving 63 bits; the division comes first so that
// nothing can wrap.
bool productFits63(uint64_t a, uint64_t b, uint64_t add) {
    if (a != 0 && b > (kMax63 - add) / a) return false;
    return true;
}

}  // namespace

ImageHeader parseImageHeader(const uint8_t bytes[kImageHeaderSize]) {
    ImageHeader h;
    std::memcpy(h.signature, bytes, kSignatureSize);
    h.colourCount = bytes[11];
    h.width = loadLe32Signed(bytes + 12);
    h.height = loadLe32Signed(bytes + 16);
    h.blockHeight = loadLe32Signed(bytes + 20);
    return h;
}

HeaderCheck checkImageHeader(const ImageHeader& h) {
    if (std::memcmp(h.signature, kSignature, kSignatureSize) != 0) return HeaderCheck::badSignature;
    if (h.colourCount != 3 && h.colourCount != 4) return HeaderCheck::unsupportedColours;
    // The table skip divides by the block height, and the block loop walks
    // forward by it.
    if (h.blockHeight <= 0 || h.width < 0) return HeaderCheck::unsupportedSize;
    uint64_t width = static_cast<uint64_t>(h.width);
    if (!productFits63(width, h.colourCount, 0)) return HeaderCheck::unsupportedSize;
    if (!productFits63(width, static_cast<uint64_t>(h.blockHeight), kBufferSlack))
        return HeaderCheck::unsupportedSize;
    if (h.height > 0) {
        uint64_t stride = bmpRowStride(width, h.colourCount);
        if (!productFits63(stride, static_cast<uint64_t>(h.height), kBmpHeaderSize))
            return HeaderCheck::unsupportedSize;
    }
    return HeaderCheck::accepted;
}

HeaderCheck readImageHeader(ByteSource& input, ImageHeader& header) {
    uint8_t bytes[kImageHeaderSize] = {};
    size_t got = 0;
    while (got < kImageHeaderSize) {
        size_t n = input.read(bytes + got, kImageHeaderSize - got);
        if (n == 0) break;
        got += n;
    }
    header = parseImageHeader(bytes);
    return checkImageHeader(header);
}

bool readChunkHeader(ByteSource& input, ChunkHeader& chunk) {
    uint8_t bytes[kChunkHeaderSize] = {};
    size_t got = 0;
    while (got < kChunkHeaderSize) {
        size_t n = input.read(bytes + got, kChunkHeaderSize - got);
        if (n == 0) break;
        got += n;
    }
    chunk = parseChunkHeader(bytes);
    return got == kChunkHeaderSize;
}

ChunkHeader parseChunkHeader(const uint8_t bytes[kChunkHeaderSize]) {
    ChunkHeader chunk;
    chunk.mark = bytes[0];
    chunk.size = loadLe32Signed(bytes + 1);
    return chunk;
}

uint64_t blockCount(const ImageHeader& h) {
    if (h.height <= 0 || h.blockHeight <= 0) return 0;
    return static_cast<uint64_t>((h.height - 1) / h.blockHeight) + 1;
}

ConvertResult convertFile(ByteSource& input, ByteSink& output) {
    ImageHeader header;
    switch (readImageHeader(input, header)) {
        case HeaderCheck::accepted:
            break;
        case HeaderCheck::badSignature:
            return {ConvertStatus::badSignature, {}};
        case HeaderCheck::unsupportedColours:
            return {ConvertStatus::unsupportedColours, {}};
        case HeaderCheck::unsupportedSize:
            return {ConvertStatus::unsupportedSize, {}};
    }
    // Buffers first: an allocation failure must end the run before the
    // output has been touched.
    ImageDecoder decoder(header);
    BmpWriter writer(output);
    if (!writer.writeHeaders(header.width, header.height, header.colourCount))
        return {ConvertStatus::outputFailed, {}};
    // With no rows there are no blocks, and the table means nothing.
    input.skip(blockCount(header) * 4);
    BlockStageResult stage = decoder.decodeBlocks(input, writer);
    if (!writer.finish() || !stage.outputOk) return {ConvertStatus::outputFailed, stage.damage};
    if (stage.damage.what != Damage::none) return {ConvertStatus::damaged, stage.damage};
    return {ConvertStatus::converted, {}};
}

const char* headerCheckText(HeaderCheck check) {
    switch (check) {
        case HeaderCheck::accepted:
            return "accepted";
        case HeaderCheck::badSignature:
            return "signature error";
        case HeaderCheck::unsupportedColours:
            return "unsupported colors";
        case HeaderCheck::unsupportedSize:
            return "unsupported size";
    }
    return "unknown";
}

const char* damageText(Damage damage) {
    switch (damage) {
        case Damage::none:
            return "no damage";
        case Damage::inputEndsEarly:
            return "input ends early";
        case Damage::negativeChunkSize:
            return "negative chunk size";
        case Damage::chunkTooLarge:
            return "chunk larger than its buffer";
        case Damage::itemCut:
            return "compressed item cut by the end of its chunk";
        case Damage::expandsTooFar:
            return "compressed chunk expands beyond its buffer";
    }
    return "unknown damage";
}

}  // namespace wzx
