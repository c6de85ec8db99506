// The WZX5 "raw" container and the conversion of one input into one BMP.
//
// File layout, little-endian:
//   offset  size            field
//   0       11              signature "WZX5.0" 00 "raw" 1A
//   11      1               colour count: 3 (blue, green, red) or 4 (+ alpha)
//   12      4               width, signed
//   16      4               height, signed
//   20      4               block height, signed (rows per block)
//   24      4 × blocks      block-size table, skipped unread;
//                           blocks = (height - 1) / block height + 1
//   then    blocks          each: one chunk per channel, in channel order
//
// A chunk is a 5-byte header, then its data:
//   1  mark   0 = compressed (see sliding_window.h), anything else = stored
//   4  size   signed, number of data bytes that follow
// Expanded, a chunk holds its block's rows of one channel, row after row.
#pragma once

#include <cstddef>
#include <cstdint>

#include "bmp/byte_sink.h"
#include "decoder/byte_source.h"

namespace wzx {

inline constexpr size_t kSignatureSize = 11;
inline constexpr uint8_t kSignature[kSignatureSize] = {'W', 'Z', 'X', '5', '.', '0',
                                                       0,   'r', 'a', 'w', 0x1A};
inline constexpr size_t kImageHeaderSize = 24;
inline constexpr size_t kChunkHeaderSize = 5;
// Slack every channel buffer carries beyond its rows.
inline constexpr uint64_t kBufferSlack = 10;

struct ImageHeader {
    uint8_t signature[kSignatureSize] = {};
    uint8_t colourCount = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t blockHeight = 0;
};

struct ChunkHeader {
    uint8_t mark = 0;
    int32_t size = 0;
};

// Why a header is refused, in the order the checks run.
enum class HeaderCheck {
    accepted,
    badSignature,        // the 11 signature bytes differ
    unsupportedColours,  // colour count is neither 3 nor 4
    unsupportedSize,     // dimensions the format cannot describe
};

// Splits the 24 header bytes into their fields; no checks.
ImageHeader parseImageHeader(const uint8_t bytes[kImageHeaderSize]);
// The first reason the header is refused, or accepted.
HeaderCheck checkImageHeader(const ImageHeader& header);
// Reads, parses and checks the header. Bytes missing at the end of a short
// input count as 0, so the checks see whatever the file holds.
HeaderCheck readImageHeader(ByteSource& input, ImageHeader& header);
// Splits the 5 chunk header bytes into mark and size.
ChunkHeader parseChunkHeader(const uint8_t bytes[kChunkHeaderSize]);
// Reads the next chunk header; false when the input ends inside it.
bool readChunkHeader(ByteSource& input, ChunkHeader& chunk);

// Number of 4-byte entries in the block-size table; 0 when height <= 0.
uint64_t blockCount(const ImageHeader& header);

// What went wrong inside the block data of an accepted image.
enum class Damage {
    none,
    inputEndsEarly,     // a chunk header or chunk data is cut by the end of the input
    negativeChunkSize,  // a chunk's size field is below 0
    chunkTooLarge,      // a chunk's size exceeds its buffer (width × block height + 10)
    itemCut,            // a compressed chunk's last item runs past the chunk's end
    expandsTooFar,      // a compressed chunk expands beyond its buffer
};

struct DamageReport {
    Damage what = Damage::none;
    uint64_t block = 0;    // 0 is the top block
    unsigned channel = 0;  // 0 blue, 1 green, 2 red, 3 alpha
};

enum class ConvertStatus {
    converted,
    damaged,  // converted at full length, see DamageReport
    badSignature,
    unsupportedColours,
    unsupportedSize,
    outputFailed,  // the sink refused a write; its owner knows why
};

struct ConvertResult {
    ConvertStatus status = ConvertStatus::converted;
    DamageReport damage;
};

// Converts one WZX5 image read from input into a BMP written to output.
// Nothing is written to output unless the header is accepted and the
// image's buffers are acquired.
ConvertResult convertFile(ByteSource& input, ByteSink& output);

// Short fixed texts for the library's reasons, without file names.
const char* headerCheckText(HeaderCheck check);
const char* damageText(Damage damage);

}  // namespace wzx
