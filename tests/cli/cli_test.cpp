// End-to-end behaviour of the program: arguments, the file search, the
// names it derives, its messages, exit statuses and the files it leaves.
// The same table runs against the Windows build under Wine, where the
// platform's search, case rules and console line ends differ.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/run_program.h"
#include "support/sanitized_build.h"
#include "support/tiny_image.h"
#include "support/wzx_builder.h"

namespace wzx::test {
namespace {

namespace fs = std::filesystem;

const std::string kProgram = WZX2BMP_PROGRAM;
#ifdef WZX2BMP_LAUNCHER
const std::string kLauncher = WZX2BMP_LAUNCHER;
#else
const std::string kLauncher;
#endif
#ifdef WZX_TARGET_WINDOWS
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

const std::string kPrompt = "< hit enter key >\n";
const std::string kUsage =
    ".wzx to .bmp converter\nusage : \nwzx2bmp.exe <wzx file name> \n\n< hit enter key >\n";

// Console text as the program's platform writes it: its text streams end
// each line with carriage return and line feed on Windows.
std::string console(const std::string& text) {
    if (!kWindows) return text;
    std::string out;
    for (char ch : text) {
        if (ch == '\n') out += '\r';
        out += ch;
    }
    return out;
}

RunOptions runIn(const std::filesystem::path& dir, std::string input) {
    RunOptions o{dir, std::move(input)};
    o.launcher = kLauncher;
    return o;
}

// The order in which the platform's search yields a directory's entries:
// readdir's on POSIX; on Windows (NTFS, and Wine likewise) "." and ".."
// first, then the names ordered by their upper-case forms.
std::vector<std::string> searchOrder(const std::filesystem::path& dir) {
    std::vector<std::string> names = readdirOrder(dir);
    if (!kWindows) return names;
    auto upper = [](std::string n) {
        for (char& ch : n) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        return n;
    };
    auto rank = [&](const std::string& n) { return n == "." ? 0 : n == ".." ? 1 : 2; };
    std::sort(names.begin(), names.end(), [&](const std::string& a, const std::string& b) {
        if (rank(a) != rank(b)) return rank(a) < rank(b);
        return upper(a) < upper(b);
    });
    return names;
}

// A header-only image: height 0 means no blocks and no rows.
Bytes emptyImage() {
    return imageStart(3, 7, 0, 1);
}

Bytes emptyBmp() {
    Bytes b = tinyBmp();
    b.resize(54);
    b[18] = 7;  // width
    b[22] = 0;  // height
    return b;
}

Bytes withByte(Bytes b, size_t at, uint8_t v) {
    b[at] = v;
    return b;
}

// Where a case's expectations hold: the platforms' searches differ in
// wildcard grammar, case rules and the meaning of "..".
enum class Platforms { all, posixOnly, windowsOnly };

struct CliCase {
    const char* name;
    std::function<void(const fs::path&)> setup;
    std::vector<std::string> args;
    std::string out;
    std::string err;
    int status;
    // Every name the directory holds afterwards; and the exact bytes of some.
    std::vector<std::string> filesAfter;
    std::map<std::string, Bytes> contents;
    Platforms on = Platforms::all;
};

void put(const fs::path& dir, const std::string& name, const Bytes& bytes) {
    writeFile(dir / name, bytes);
}

const Bytes kOldOutput = {'o', 'l', 'd'};

std::vector<CliCase> allCliCases() {
    const std::string noMatch = "Error: no file matched <";
    return {
        {"NoArgument", [](auto&) {}, {}, kUsage, "", 255, {}, {}},
        {"TwoArguments",
         [](auto& d) { put(d, "a.wzx", tinyImage()); },
         {"a.wzx", "b.wzx"},
         kUsage,
         "",
         255,
         {"a.wzx"},
         {}},
        {"NothingMatches", [](auto&) {}, {"*.wzx"}, noMatch + "*.wzx>.\n" + kPrompt, "", 0, {}, {}},
        {"PercentSignsAreNotAFormat",
         [](auto&) {},
         {"100%.wzx %s%n"},
         noMatch + "100%.wzx %s%n>.\n" + kPrompt,
         "",
         0,
         {},
         {}},
        {"EmptyArgument", [](auto&) {}, {""}, noMatch + ">.\n" + kPrompt, "", 0, {}, {}},
        {"MissingDirectory",
         [](auto&) {},
         {"nowhere/*.wzx"},
         noMatch + "nowhere/*.wzx>.\n" + kPrompt,
         "",
         0,
         {},
         {}},
        {"BracketIsNoWildcard",
         [](auto& d) { put(d, "a.wzx", tinyImage()); },
         {"[a].wzx"},
         noMatch + "[a].wzx>.\n" + kPrompt,
         "",
         0,
         {"a.wzx"},
         {}},
        {"ConvertsOneFile",
         [](auto& d) { put(d, "a.wzx", tinyImage()); },
         {"a.wzx"},
         kPrompt,
         "",
         0,
         {"a.bmp", "a.wzx"},
         {{"a.bmp", tinyBmp()}}},
        {"HeaderOnlyImage",
         [](auto& d) { put(d, "e.wzx", emptyImage()); },
         {"e.wzx"},
         kPrompt,
         "",
         0,
         {"e.bmp", "e.wzx"},
         {{"e.bmp", emptyBmp()}}},
        {"WildcardConvertsEach",
         [](auto& d) {
             put(d, "a.wzx", tinyImage());
             put(d, "b.wzx", emptyImage());
         },
         {"?.wzx"},
         kPrompt,
         "",
         0,
         {"a.bmp", "a.wzx", "b.bmp", "b.wzx"},
         {{"a.bmp", tinyBmp()}, {"b.bmp", emptyBmp()}}},
        {"DirectoryPartOnlyChoosesTheSearch",
         [](auto& d) {
             fs::create_directory(d / "sub");
             put(d / "sub", "x.wzx", tinyImage());
         },
         {"sub/x.wzx"},
         "",
         "fopen error\n",
         1,
         {"sub"},
         {}},
        {"DirectoryPartFindsWorkingDirectoryInput",
         [](auto& d) {
             fs::create_directory(d / "sub");
             put(d / "sub", "x.wzx", emptyImage());
             put(d, "x.wzx", tinyImage());
         },
         {"sub/*.wzx"},
         kPrompt,
         "",
         0,
         {"sub", "x.bmp", "x.wzx"},
         {{"x.bmp", tinyBmp()}}},
        {"LastDotEndsTheTitle",
         [](auto& d) { put(d, "a.b.wzx", tinyImage()); },
         {"a.b.wzx"},
         kPrompt,
         "",
         0,
         {"a.b.bmp", "a.b.wzx"},
         {{"a.b.bmp", tinyBmp()}}},
        {"NameWithoutDot",
         [](auto& d) {
             put(d, "readme", {});
             put(d, "readme.wzx", tinyImage());
         },
         {"readme"},
         kPrompt,
         "",
         0,
         {"readme", "readme.bmp", "readme.wzx"},
         {{"readme.bmp", tinyBmp()}}},
        {"EmptyTitle",
         [](auto& d) { put(d, ".wzx", tinyImage()); },
         {".wzx"},
         kPrompt,
         "",
         0,
         {".bmp", ".wzx"},
         {{".bmp", tinyBmp()}}},
        {"DotDotEntry",
         [](auto& d) { put(d, "..wzx", tinyImage()); },
         {".."},
         kPrompt,
         "",
         0,
         {"..bmp", "..wzx"},
         {{"..bmp", tinyBmp()}},
         Platforms::posixOnly},
        // Windows resolves ".." before searching: the one entry is the
        // parent directory under its own name, whose ".wzx" is missing.
        {"DotDotPatternNamesTheParent",
         [](auto& d) { put(d, "..wzx", tinyImage()); },
         {".."},
         "",
         "fopen error\n",
         1,
         {"..wzx"},
         {},
         Platforms::windowsOnly},
        {"DotAndDotDotFromAStar",
         [](auto& d) {
             put(d, ".wzx", tinyImage());
             put(d, "..wzx", emptyImage());
         },
         {"*"},
         kPrompt,
         "",
         0,
         {"..bmp", "..wzx", ".bmp", ".wzx"},
         {{".bmp", tinyBmp()}, {"..bmp", emptyBmp()}}},
        {"ExtensionIsReplacedNotMatched",
         [](auto& d) { put(d, "x.WZX", tinyImage()); },
         {"x.WZX"},
         "",
         "fopen error\n",
         1,
         {"x.WZX"},
         {},
         Platforms::posixOnly},
        {"ExtensionIsReplacedAndOpensInAnyCase",
         [](auto& d) { put(d, "x.WZX", tinyImage()); },
         {"x.WZX"},
         kPrompt,
         "",
         0,
         {"x.WZX", "x.bmp"},
         {{"x.bmp", tinyBmp()}},
         Platforms::windowsOnly},
        {"PatternCaseMatters",
         [](auto& d) { put(d, "A.WZX", tinyImage()); },
         {"a.wzx"},
         noMatch + "a.wzx>.\n" + kPrompt,
         "",
         0,
         {"A.WZX"},
         {},
         Platforms::posixOnly},
        {"PatternMatchesAnyCase",
         [](auto& d) { put(d, "A.WZX", tinyImage()); },
         {"a.wzx"},
         kPrompt,
         "",
         0,
         {"A.WZX", "A.bmp"},
         {{"A.bmp", tinyBmp()}},
         Platforms::windowsOnly},
        {"LongerExtensionDoesNotMatch",
         [](auto& d) { put(d, "photo.wzxold", tinyImage()); },
         {"*.wzx"},
         noMatch + "*.wzx>.\n" + kPrompt,
         "",
         0,
         {"photo.wzxold"},
         {},
         Platforms::posixOnly},
        // The search also matches the 8.3 short name, PHOTO~1.WZX or alike.
        {"ShortNameOfLongerExtensionMatches",
         [](auto& d) { put(d, "photo.wzxold", tinyImage()); },
         {"*.wzx"},
         "",
         "fopen error\n",
         1,
         {"photo.wzxold"},
         {},
         Platforms::windowsOnly},
        {"OtherExtensionNamesTheInput",
         [](auto& d) {
             put(d, "photo.png", {1, 2});
         },
         {"photo.png"},
         "",
         "fopen error\n",
         1,
         {"photo.png"},
         {}},
        {"SameTitleThreeTimes",
         [](auto& d) {
             put(d, "a.wzx", tinyImage());
             put(d, "a.bmp", kOldOutput);
             put(d, "a.txt", {});
         },
         {"a.*"},
         kPrompt,
         "",
         0,
         {"a.bmp", "a.txt", "a.wzx"},
         {{"a.bmp", tinyBmp()}}},
        {"MatchingDirectoryIsAnEntry",
         [](auto& d) {
             fs::create_directory(d / "pic");
             put(d, "pic.wzx", tinyImage());
         },
         {"pic"},
         kPrompt,
         "",
         0,
         {"pic", "pic.bmp", "pic.wzx"},
         {{"pic.bmp", tinyBmp()}}},
        {"InputThatIsADirectory",
         [](auto& d) { fs::create_directory(d / "x.wzx"); },
         {"x.wzx"},
         "",
         "fopen error\n",
         1,
         {"x.wzx"},
         {}},
        {"OutputThatIsADirectory",
         [](auto& d) {
             put(d, "x.wzx", tinyImage());
             fs::create_directory(d / "x.bmp");
         },
         {"x.wzx"},
         "",
         "fopen error\n",
         1,
         {"x.bmp", "x.wzx"},
         {}},
        {"BadSignatureLeavesOutputAlone",
         [](auto& d) {
             put(d, "x.wzx", withByte(tinyImage(), 3, '4'));
             put(d, "x.bmp", kOldOutput);
         },
         {"x.wzx"},
         "",
         "signature error",
         1,
         {"x.bmp", "x.wzx"},
         {{"x.bmp", kOldOutput}}},
        {"BadColoursCreateNothing",
         [](auto& d) { put(d, "x.wzx", withByte(tinyImage(), 11, 2)); },
         {"x.wzx"},
         "",
         "unsupported colors",
         1,
         {"x.wzx"},
         {}},
        {"SignatureCheckedBeforeColours",
         [](auto& d) { put(d, "x.wzx", withByte(withByte(tinyImage(), 10, 0), 11, 2)); },
         {"x.wzx"},
         "",
         "signature error",
         1,
         {"x.wzx"},
         {}},
        {"ZeroBlockHeight",
         [](auto& d) { put(d, "x.wzx", imageStart(3, 1, 1, 0)); },
         {"x.wzx"},
         "",
         "unsupported size",
         1,
         {"x.wzx"},
         {}},
        {"EmptyInputFile",
         [](auto& d) { put(d, "x.wzx", {}); },
         {"x.wzx"},
         "",
         "signature error",
         1,
         {"x.wzx"},
         {}},
        {"RefusedHeaderStopsTheBatch",
         [](auto& d) {
             put(d, "a.wzx", withByte(tinyImage(), 0, 'X'));
             put(d, "b.wzx", withByte(tinyImage(), 0, 'X'));
         },
         {"*.wzx"},
         "",
         "signature error",
         1,
         {"a.wzx", "b.wzx"},
         {}},
        {"OutputLinkedToInputIsRefused",
         [](auto& d) {
             put(d, "x.wzx", tinyImage());
             fs::create_symlink("x.wzx", d / "x.bmp");
         },
         {"x.wzx"},
         "",
         "x.bmp: is the input file itself; not overwritten\n",
         1,
         {"x.bmp", "x.wzx"},
         {{"x.wzx", tinyImage()}}},
        {"OutputHardLinkedToInputIsRefused",
         [](auto& d) {
             put(d, "x.wzx", tinyImage());
             fs::create_hard_link(d / "x.wzx", d / "x.bmp");
         },
         {"x.wzx"},
         "",
         "x.bmp: is the input file itself; not overwritten\n",
         1,
         {"x.bmp", "x.wzx"},
         {{"x.wzx", tinyImage()}}},
    };
}

std::vector<CliCase> cliCases() {
    std::vector<CliCase> cases;
    Platforms skipped = kWindows ? Platforms::posixOnly : Platforms::windowsOnly;
    for (CliCase& c : allCliCases()) {
        if (c.on != skipped) cases.push_back(std::move(c));
    }
    return cases;
}

void PrintTo(const CliCase& c, std::ostream* os) {
    *os << c.name;
}

class CliTest : public ::testing::TestWithParam<CliCase> {};

TEST_P(CliTest, Behaves) {
    const CliCase& c = GetParam();
    ScratchDir dir;
    c.setup(dir.path());
    RunResult r = runProgram(kProgram, c.args, runIn(dir.path(), "\n"));
    EXPECT_EQ(r.out, console(c.out));
    EXPECT_EQ(r.err, console(c.err));
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(listDir(dir.path()), c.filesAfter);
    for (const auto& [name, bytes] : c.contents) {
        EXPECT_EQ(readFile(dir / name), bytes) << "contents of " << name;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, CliTest, ::testing::ValuesIn(cliCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Cli, PromptReadsOneCharacterAtMost) {
    // Input at its end returns at once; a longer input is not consumed
    // beyond one character (nothing else would read it).
    ScratchDir dir;
    for (const std::string& input : {std::string(), std::string("yes\n")}) {
        RunResult r = runProgram(kProgram, {"*.none"}, runIn(dir.path(), input));
        EXPECT_EQ(r.status, 0) << "stdin " << input.size() << " bytes";
        EXPECT_EQ(r.out, console("Error: no file matched <*.none>.\n" + kPrompt));
    }
}

TEST(Cli, SecondEntryFailingKeepsTheFirstOutput) {
    ScratchDir dir;
    put(dir.path(), "good.wzx", tinyImage());
    put(dir.path(), "gone.txt", {});  // names gone.wzx, which does not exist
    std::vector<std::string> order = searchOrder(dir.path());
    bool goodFirst = std::find(order.begin(), order.end(), "good.wzx") <
                     std::find(order.begin(), order.end(), "gone.txt");
    RunResult r = runProgram(kProgram, {"go*"}, runIn(dir.path(), ""));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, console("fopen error\n"));
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(fs::exists(dir / "good.bmp"), goodFirst) << "the search order decides";
    if (goodFirst) {
        EXPECT_EQ(readFile(dir / "good.bmp"), tinyBmp());
    }
}

// Resource limits are POSIX's; Wine could not even start under them.
#ifndef WZX_TARGET_WINDOWS
TEST(Cli, WriteFailureRemovesTheOutputAndStops) {
    // A 64 × 64 image gives a BMP of 12 342 bytes; a 4 KiB file-size limit
    // makes its writes fail with EFBIG part way.
    ScratchDir dir;
    Bytes img = imageStart(3, 64, 64, 64);
    for (int c = 0; c < 3; ++c) appendStored(img, Bytes(64 * 64, 1));
    put(dir.path(), "big.wzx", img);
    put(dir.path(), "big.bmp", kOldOutput);
    RunOptions o{dir.path(), ""};
    o.fileSizeLimit = 4096;
    RunResult r = runProgram(kProgram, {"big.wzx"}, o);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "big.bmp: write error: File too large\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(listDir(dir.path()), std::vector<std::string>{"big.wzx"});
}

TEST(Cli, OutOfMemoryEndsAbnormally) {
    if (kSanitized) GTEST_SKIP() << "a sanitized program cannot start under an address-space limit";
    // The header asks for four channel buffers of 64 MiB each; the address
    // space allows far less. The existing output must survive untouched.
    ScratchDir dir;
    put(dir.path(), "huge.wzx", imageStart(4, 1 << 16, 1 << 10, 1 << 10));
    put(dir.path(), "huge.bmp", kOldOutput);
    RunOptions o{dir.path(), ""};
    o.addressSpaceLimit = rlim_t{96} << 20;
    RunResult r = runProgram(kProgram, {"huge.wzx"}, o);
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err, "\r\nabnormal program termination\r\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(listDir(dir.path()), (std::vector<std::string>{"huge.bmp", "huge.wzx"}));
    EXPECT_EQ(readFile(dir / "huge.bmp"), kOldOutput);
}

struct DamagedCase {
    const char* name;
    Bytes file;
    std::string warning;
};

TEST(Cli, DamagedInputWarnsAndTheBatchGoesOn) {
    Bytes cut = tinyImage();
    cut.pop_back();
    Bytes negative = imageStart(3, 1, 1, 1);
    appendStored(negative, {1});
    appendChunkHeader(negative, 1, -5);
    DamagedCase cases[] = {
        {"cut", cut, "a.wzx: damaged data: input ends early (block 0, channel 2)\n"},
        {"negative", negative, "a.wzx: damaged data: negative chunk size (block 0, channel 1)\n"},
    };
    for (const DamagedCase& c : cases) {
        ScratchDir dir;
        put(dir.path(), "a.wzx", c.file);
        put(dir.path(), "b.wzx", tinyImage());
        RunResult r = runProgram(kProgram, {"?.wzx"}, {dir.path(), ""});
        EXPECT_EQ(r.status, 2) << c.name;
        EXPECT_EQ(r.err, c.warning) << c.name;
        EXPECT_EQ(r.out, kPrompt) << c.name;
        // Full length, the damaged block decoded from zeros.
        Bytes zeroPixel = tinyBmp();
        zeroPixel[54] = zeroPixel[55] = zeroPixel[56] = 0;
        EXPECT_EQ(readFile(dir / "a.bmp"), zeroPixel) << c.name;
        EXPECT_EQ(readFile(dir / "b.bmp"), tinyBmp()) << c.name;
    }
}

TEST(Cli, MemoryFollowsWhatTheFileHolds) {
    // A one-row image with a block height of 2^31 - 1, and a chunk that
    // claims 2^31 - 1 bytes in a file of a few dozen: neither may make the
    // tool reserve what the file cannot fill.
    Bytes tallBlock = imageStart(3, 1000, 1, INT32_MAX);
    for (int c = 0; c < 3; ++c) appendStored(tallBlock, Bytes(1000, 1));
    Bytes claims = imageStart(3, 1 << 16, 1, 1 << 15);
    appendChunkHeader(claims, 0, INT32_MAX);
    claims.insert(claims.end(), {0, 1, 2, 3});
    struct {
        const char* name;
        Bytes file;
        int status;
    } cases[] = {{"tallBlock", tallBlock, 0}, {"claims", claims, 2}};
    for (const auto& c : cases) {
        ScratchDir dir;
        put(dir.path(), "m.wzx", c.file);
        RunResult r = runProgram(kProgram, {"m.wzx"}, {dir.path(), ""});
        EXPECT_EQ(r.status, c.status) << c.name << ": " << r.err;
        EXPECT_LT(r.peakResidentKiB, 32 * 1024) << c.name;
    }
}
#endif

TEST(Cli, ImpossibleAllocationEndsAbnormally) {
    if (kSanitized)
        GTEST_SKIP() << "the sanitizer's allocator aborts instead of failing the allocation";
    // Rows of 2^30 pixels in blocks of 2^30 rows: each channel buffer would
    // be far larger than any address space, so the allocation fails on
    // every machine, without a resource limit.
    ScratchDir dir;
    put(dir.path(), "vast.wzx", imageStart(3, 1 << 30, 1 << 30, 1 << 30));
    put(dir.path(), "vast.bmp", kOldOutput);
    RunResult r = runProgram(kProgram, {"vast.wzx"}, runIn(dir.path(), ""));
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err, "\r\nabnormal program termination\r\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(readFile(dir / "vast.bmp"), kOldOutput)
        << "an output is touched only after allocation";
}

}  // namespace
}  // namespace wzx::test
