// wzx_encode: writes a BMP, or a picture it draws itself, as a WZX5 file,
// so that samples for wzx2bmp can be made without any outside encoder.
// A developer tool: built with the project, never installed.
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tools/picture.h"
#include "tools/picture_gen.h"
#include "tools/wzx_encoder.h"

namespace {

using namespace wzxtools;

constexpr const char* kUsage =
    "usage: wzx_encode [options] INPUT.bmp OUTPUT.wzx\n"
    "       wzx_encode [options] --draw KIND --size WxH [--alpha] [--seed N]\n"
    "                  [--bmp OUT.bmp] [OUTPUT.wzx]\n"
    "options:\n"
    "  --block-height N   rows per block, at least 1 (default 32)\n"
    "  --mode MODE        compressed (default), stored or mixed\n"
    "  --stored-mark N    mark byte of stored chunks, 1..255 (default 1)\n"
    "  --draw KIND        draw gradient, noise, flat, edges or illustration\n"
    "  --size WxH         size of the drawn picture\n"
    "  --alpha            draw with an alpha channel (32 bits per pixel)\n"
    "  --seed N           seed for noise and illustration (default 1)\n"
    "  --bmp OUT.bmp      also write the drawn picture as a BMP\n"
    "  --stats            print sizes and times on standard error\n";

// The drawn picture may take at most this many bytes in memory.
constexpr uint64_t kMaxDrawnBytes = uint64_t{1} << 30;

struct CommandLine {
    EncodeOptions options;
    bool draw = false;
    PictureKind kind = PictureKind::illustration;
    int32_t width = 0, height = 0;
    bool alpha = false;
    uint64_t seed = 1;
    std::string input, output, bmpOutput;
    bool stats = false;
};

bool parseNumber(const char* text, long long min, long long max, long long& value) {
    if (*text == '\0') return false;
    errno = 0;
    char* end = nullptr;
    value = std::strtoll(text, &end, 10);
    return errno == 0 && *end == '\0' && value >= min && value <= max;
}

bool parseSize(const std::string& text, int32_t& width, int32_t& height) {
    size_t x = text.find('x');
    if (x == std::string::npos) return false;
    long long w = 0, h = 0;
    if (!parseNumber(text.substr(0, x).c_str(), 1, INT32_MAX, w) ||
        !parseNumber(text.substr(x + 1).c_str(), 1, INT32_MAX, h))
        return false;
    width = static_cast<int32_t>(w);
    height = static_cast<int32_t>(h);
    return true;
}

bool parseMode(const std::string& text, ChunkMode& mode) {
    for (ChunkMode m : {ChunkMode::compressed, ChunkMode::stored, ChunkMode::mixed}) {
        if (text == chunkModeName(m)) {
            mode = m;
            return true;
        }
    }
    return false;
}

// Handles one option that takes a value; error says what is wrong with it.
bool parseValueOption(const std::string& name, const std::string& value, CommandLine& cl,
                      std::string& error) {
    long long n = 0;
    if (name == "--block-height") {
        if (parseNumber(value.c_str(), 1, INT32_MAX, n)) {
            cl.options.blockHeight = static_cast<int32_t>(n);
            return true;
        }
        error = "--block-height wants a whole number from 1 to 2147483647, not '" + value + "'";
    } else if (name == "--mode") {
        if (parseMode(value, cl.options.mode)) return true;
        error = "--mode wants compressed, stored or mixed, not '" + value + "'";
    } else if (name == "--stored-mark") {
        if (parseNumber(value.c_str(), 1, 255, n)) {
            cl.options.storedMark = static_cast<uint8_t>(n);
            return true;
        }
        error = "--stored-mark wants a number from 1 to 255, not '" + value + "'";
    } else if (name == "--draw") {
        cl.draw = true;
        if (parsePictureKind(value, cl.kind)) return true;
        error = "--draw wants gradient, noise, flat, edges or illustration, not '" + value + "'";
    } else if (name == "--size") {
        if (parseSize(value, cl.width, cl.height)) return true;
        error = "--size wants WIDTHxHEIGHT with both at least 1, not '" + value + "'";
    } else if (name == "--seed") {
        if (parseNumber(value.c_str(), 0, INT64_MAX, n)) {
            cl.seed = static_cast<uint64_t>(n);
            return true;
        }
        error = "--seed wants a whole number of at least 0, not '" + value + "'";
    } else if (name == "--bmp") {
        cl.bmpOutput = value;
        return true;
    } else {
        error = "unknown option '" + name + "'";
    }
    return false;
}

bool isValueOption(const std::string& a) {
    return a == "--block-height" || a == "--mode" || a == "--stored-mark" || a == "--draw" ||
           a == "--size" || a == "--seed" || a == "--bmp";
}

// Checks that the file names fit the chosen way of working.
bool checkOperands(const std::vector<std::string>& operands, CommandLine& cl, std::string& error) {
    if (cl.draw) {
        if (cl.width == 0)
            error = "--draw needs --size WxH";
        else if (operands.size() > 1)
            error = "--draw takes at most one file name, OUTPUT.wzx";
        else if (operands.empty() && cl.bmpOutput.empty())
            error = "--draw needs OUTPUT.wzx, --bmp OUT.bmp or both";
        if (!error.empty()) return false;
        if (!operands.empty()) cl.output = operands[0];
        return true;
    }
    if (cl.width != 0 || cl.alpha || !cl.bmpOutput.empty())
        error = "--size, --alpha and --bmp only go with --draw";
    else if (operands.size() != 2)
        error = "expected INPUT.bmp and OUTPUT.wzx";
    if (!error.empty()) return false;
    cl.input = operands[0];
    cl.output = operands[1];
    return true;
}

bool parseArguments(int argc, char** argv, CommandLine& cl, std::string& error) {
    std::vector<std::string> operands;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--alpha") {
            cl.alpha = true;
        } else if (a == "--stats") {
            cl.stats = true;
        } else if (isValueOption(a)) {
            if (i + 1 >= argc) {
                error = a + " needs a value";
                return false;
            }
            if (!parseValueOption(a, argv[++i], cl, error)) return false;
        } else if (a.size() > 1 && a[0] == '-') {
            error = "unknown option '" + a + "'";
            return false;
        } else {
            operands.push_back(a);
        }
    }
    return checkOperands(operands, cl, error);
}

bool readFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        error = "cannot open '" + path + "': " + std::strerror(errno);
        return false;
    }
    uint8_t buffer[1 << 16];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + n);
    bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) error = "cannot read '" + path + "'";
    return !failed;
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        error = "cannot create '" + path + "': " + std::strerror(errno);
        return false;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = std::fclose(f) == 0 && ok;
    if (!ok) error = "cannot write '" + path + "'";
    return ok;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Draws or reads the picture the command line names.
bool obtainPicture(const CommandLine& cl, Picture& picture, std::string& error) {
    if (!cl.draw) {
        std::vector<uint8_t> bytes;
        if (!readFile(cl.input, bytes, error)) return false;
        if (readBmpPicture(bytes, picture, error)) return true;
        error = "'" + cl.input + "' is not a usable BMP: " + error;
        return false;
    }
    unsigned channels = cl.alpha ? 4 : 3;
    uint64_t area = static_cast<uint64_t>(cl.width) * static_cast<uint64_t>(cl.height);
    if (area > kMaxDrawnBytes / channels) {
        error = "--size " + std::to_string(cl.width) + "x" + std::to_string(cl.height) +
                " would take more than 1 GiB";
        return false;
    }
    picture = makePicture(cl.kind, cl.width, cl.height, channels, cl.seed);
    return true;
}

int run(const CommandLine& cl) {
    std::string error;
    Picture picture;
    auto start = std::chrono::steady_clock::now();
    if (!obtainPicture(cl, picture, error)) {
        std::fprintf(stderr, "wzx_encode: %s\n", error.c_str());
        return 1;
    }
    if (cl.stats)
        std::fprintf(stderr, "picture   %dx%d, %u channels, %.3f s to %s\n", picture.width,
                     picture.height, picture.channels, secondsSince(start),
                     cl.draw ? "draw" : "read");
    if (!cl.bmpOutput.empty() && !writeFile(cl.bmpOutput, writeBmpPicture(picture), error)) {
        std::fprintf(stderr, "wzx_encode: %s\n", error.c_str());
        return 1;
    }
    if (cl.output.empty()) return 0;
    if (const char* reason = checkEncodable(picture, cl.options)) {
        std::fprintf(stderr, "wzx_encode: cannot encode: %s\n", reason);
        return 1;
    }
    start = std::chrono::steady_clock::now();
    std::vector<uint8_t> wzx = encodeWzx(picture, cl.options);
    double seconds = secondsSince(start);
    if (cl.stats)
        std::fprintf(stderr, "encoded   %zu pixel bytes into %zu bytes (%.1f %%) in %.3f s\n",
                     picture.pixels.size(), wzx.size(),
                     picture.pixels.empty() ? 0.0 : 100.0 * wzx.size() / picture.pixels.size(),
                     seconds);
    if (!writeFile(cl.output, wzx, error)) {
        std::fprintf(stderr, "wzx_encode: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CommandLine cl;
    std::string error;
    if (argc < 2 || !parseArguments(argc, argv, cl, error)) {
        if (!error.empty()) std::fprintf(stderr, "wzx_encode: %s\n", error.c_str());
        std::fputs(kUsage, stderr);
        return 2;
    }
    return run(cl);
}
