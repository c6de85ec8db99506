// The Windows program under Wine in code page 932: file names whose
// characters end in the byte 0x5C, the path separator's value. Wine shows
// the program UTF-8 names from this side as Shift-JIS and back.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/run_program.h"
#include "support/tiny_image.h"
#include "support/wzx_builder.h"

namespace wzx::test {
namespace {

namespace fs = std::filesystem;

// The same characters as UTF-8 (for this side's file names and arguments)
// and as Shift-JIS (what the program prints).
struct Character {
    std::string utf8;
    std::string sjis;
};
const Character kHyou = {"\xE8\xA1\xA8", "\x95\x5C"};  // 表
const Character kSo = {"\xE3\x82\xBD", "\x83\x5C"};    // ソ
const Character kJuu = {"\xE5\x8D\x81", "\x8F\x5C"};   // 十
const Character kHalfA = {"\xEF\xBD\xB1", "\xB1"};     // ｱ, one byte in code page 932

RunResult runInCodePage932(const fs::path& dir, const std::vector<std::string>& args) {
    RunOptions o{dir, ""};
    o.launcher = WZX2BMP_LAUNCHER;
    o.environment = {"WZX_WINE_CODEPAGE=932"};
    return runProgram(WZX2BMP_PROGRAM, args, o);
}

struct Cp932Case {
    const char* name;
    std::vector<std::string> titles;  // UTF-8; each gets a ".wzx" input
    std::string pattern;              // UTF-8
};

class Cp932CliTest : public ::testing::TestWithParam<Cp932Case> {};

// Every input converts into the ".bmp" of the same title, and nothing
// else appears: a title split at a 0x5C would name another file.
TEST_P(Cp932CliTest, ConvertsEachTitle) {
    const Cp932Case& c = GetParam();
    ScratchDir dir;
    std::vector<std::string> want;
    for (const std::string& t : c.titles) {
        writeFile(dir / (t + ".wzx"), tinyImage());
        want.push_back(t + ".bmp");
        want.push_back(t + ".wzx");
    }
    std::sort(want.begin(), want.end());
    RunResult r = runInCodePage932(dir.path(), {c.pattern});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "< hit enter key >\r\n");
    EXPECT_EQ(listDir(dir.path()), want);
    for (const std::string& t : c.titles) {
        EXPECT_EQ(readFile(dir / (t + ".bmp")), tinyBmp()) << "contents of " << t << ".bmp";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, Cp932CliTest,
    ::testing::Values(Cp932Case{"TrailByte5C", {kHyou.utf8}, kHyou.utf8 + ".wzx"},
                      Cp932Case{"TrailByte5CBeforeAndAfterADot",
                                {kHyou.utf8 + kSo.utf8 + "." + kJuu.utf8},
                                kHyou.utf8 + kSo.utf8 + "." + kJuu.utf8 + ".wzx"},
                      // "?" stands for one character, whatever its bytes.
                      Cp932Case{"QuestionMarkIsOneCharacter",
                                {kHyou.utf8, kSo.utf8, kJuu.utf8, kHalfA.utf8},
                                "?.wzx"},
                      Cp932Case{"StarAfterADoubleByteCharacter",
                                {kHyou.utf8 + "a", kHyou.utf8 + kHyou.utf8},
                                kHyou.utf8 + "*"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Cp932Cli, NoMatchMessageShowsThePatternInTheCodePage) {
    ScratchDir dir;
    RunResult r = runInCodePage932(dir.path(), {kHyou.utf8 + kSo.utf8 + "*.none"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Error: no file matched <" + kHyou.sjis + kSo.sjis +
                         "*.none>.\r\n< hit enter key >\r\n");
}

}  // namespace
}  // namespace wzx::test
