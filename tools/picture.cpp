// BMP reading and writing for pictures. The reader takes only what the
// encoder can use, uncompressed 24- and 32-bit rows, and checks every field
// that sizes or places the pixel data before it is used.
#include "tools/picture.h"

#include <cstring>
#include <limits>

#include "bmp/bmp_writer.h"
#include "decoder/byte_order.h"

namespace wzxtools {

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kMinInfoHeaderSize = 40;

// The BMP fields the reader looks at, as they stand in the file.
struct BmpFields {
    uint32_t pixelOffset = 0;
    uint32_t infoSize = 0;
    int32_t width = 0;
    int32_t height = 0;
    uint16_t planes = 0;
    uint16_t bitCount = 0;
    uint32_t compression = 0;
};

BmpFields parseBmpFields(const uint8_t* p) {
    BmpFields f;
    f.pixelOffset = wzx::loadLe32(p + 10);
    f.infoSize = wzx::loadLe32(p + 14);
    f.width = wzx::loadLe32Signed(p + 18);
    f.height = wzx::loadLe32Signed(p + 22);
    f.planes = wzx::loadLe16(p + 26);
    f.bitCount = wzx::loadLe16(p + 28);
    f.compression = wzx::loadLe32(p + 30);
    return f;
}

// The first reason the headers cannot describe a picture we read, or an
// empty string. fileSize is at least the 54 header bytes.
std::string checkBmpFields(const BmpFields& f, uint64_t fileSize) {
    if (f.infoSize < kMinInfoHeaderSize)
        return "info header size " + std::to_string(f.infoSize) + " is below 40";
    if (f.infoSize > fileSize - kFileHeaderSize) return "info header runs past the end of the file";
    if (f.planes != 1) return "plane count " + std::to_string(f.planes) + " is not 1";
    if (f.bitCount != 24 && f.bitCount != 32)
        return "unsupported bit count " + std::to_string(f.bitCount) + " (only 24 and 32)";
    if (f.compression != 0)
        return "compression " + std::to_string(f.compression) +
               " is not supported (only uncompressed BI_RGB)";
    if (f.width < 1) return "width " + std::to_string(f.width) + " is not positive";
    if (f.height == 0) return "height is 0";
    if (f.height == std::numeric_limits<int32_t>::min()) return "height is out of range";
    if (f.pixelOffset < kFileHeaderSize + f.infoSize)
        return "pixel data offset " + std::to_string(f.pixelOffset) + " lies inside the headers";
    if (f.pixelOffset > fileSize)
        return "pixel data offset " + std::to_string(f.pixelOffset) + " lies past the end";
    uint64_t stride = wzx::bmpRowStride(static_cast<uint64_t>(f.width), f.bitCount / 8u);
    uint64_t rows =
        static_cast<uint64_t>(f.height < 0 ? -static_cast<int64_t>(f.height) : f.height);
    if (rows > (fileSize - f.pixelOffset) / stride)
        return "pixel data (" + std::to_string(rows) + " rows of " + std::to_string(stride) +
               " bytes) runs past the end of the file";
    return {};
}

}  // namespace

size_t pictureBytes(int32_t width, int32_t height, unsigned channels, bool& ok) {
    ok = false;
    if (width < 0 || height < 0) return 0;
    uint64_t w = static_cast<uint64_t>(width), h = static_cast<uint64_t>(height);
    // Both factors are below 2^31 and channels is tiny, so only the last
    // product can leave 64 bits; it is divided before it is formed.
    uint64_t rowBytes = w * channels;
    if (rowBytes != 0 && h > std::numeric_limits<size_t>::max() / rowBytes) return 0;
    ok = true;
    return static_cast<size_t>(rowBytes * h);
}

Picture makeBlankPicture(int32_t width, int32_t height, unsigned channels) {
    Picture p;
    bool ok = false;
    size_t bytes = pictureBytes(width, height, channels, ok);
    if (!ok) return p;
    p.width = width;
    p.height = height;
    p.channels = channels;
    p.pixels.assign(bytes, 0);
    return p;
}

bool readBmpPicture(const std::vector<uint8_t>& bytes, Picture& out, std::string& error) {
    if (bytes.size() < wzx::kBmpHeaderSize) {
        error = "file is shorter than the 54 bytes of the BMP headers";
        return false;
    }
    if (bytes[0] != 'B' || bytes[1] != 'M') {
        error = "no BM signature at the start";
        return false;
    }
    BmpFields f = parseBmpFields(bytes.data());
    error = checkBmpFields(f, bytes.size());
    if (!error.empty()) return false;

    const unsigned channels = f.bitCount / 8u;
    const bool topDown = f.height < 0;
    const int32_t height = topDown ? -f.height : f.height;
    // The checks above bound the picture by the file size.
    out = makeBlankPicture(f.width, height, channels);
    const size_t rowBytes = static_cast<size_t>(f.width) * channels;
    const uint64_t stride = wzx::bmpRowStride(static_cast<uint64_t>(f.width), channels);
    for (int32_t y = 0; y < height; ++y) {
        int32_t fileRow = topDown ? y : height - 1 - y;
        const uint8_t* src = bytes.data() + f.pixelOffset + static_cast<uint64_t>(fileRow) * stride;
        std::memcpy(out.pixels.data() + static_cast<size_t>(y) * rowBytes, src, rowBytes);
    }
    return true;
}

std::vector<uint8_t> writeBmpPicture(const Picture& picture) {
    const uint64_t width = picture.width > 0 ? static_cast<uint64_t>(picture.width) : 0;
    const uint64_t height = picture.height > 0 ? static_cast<uint64_t>(picture.height) : 0;
    const uint64_t stride = wzx::bmpRowStride(width, picture.channels);
    const size_t rowBytes = static_cast<size_t>(width * picture.channels);
    bool ok = false;
    if (pictureBytes(picture.width, picture.height, picture.channels, ok) !=
            picture.pixels.size() ||
        !ok)
        return {};
    std::vector<uint8_t> file(static_cast<size_t>(wzx::kBmpHeaderSize + stride * height), 0);
    wzx::buildBmpHeaders(picture.width, picture.height, picture.channels, file.data());
    // The file size field only informs; leave it 0 where 32 bits cannot hold it.
    if (file.size() <= std::numeric_limits<uint32_t>::max())
        wzx::storeLe32(file.data() + 2, static_cast<uint32_t>(file.size()));
    for (uint64_t y = 0; y < height; ++y) {
        uint8_t* dst = file.data() + wzx::kBmpHeaderSize + (height - 1 - y) * stride;
        std::memcpy(dst, picture.pixels.data() + y * rowBytes, rowBytes);
    }
    return file;
}

}  // namespace wzxtools
