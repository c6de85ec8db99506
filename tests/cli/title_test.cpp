// Title splitting: the last dot, names without one, and the 255-byte cut
// that must never split a multibyte character.
#include <clocale>
#include <string>

#include <gtest/gtest.h>

#include "cli/title.h"

namespace wzx {
namespace {

struct TitleCase {
    const char* name;
    std::string entry;
    std::string title;
};

void PrintTo(const TitleCase& c, std::ostream* os) {
    *os << c.name;
}

class TitleTest : public ::testing::TestWithParam<TitleCase> {};

TEST_P(TitleTest, Splits) {
    EXPECT_EQ(entryTitle(GetParam().entry), GetParam().title);
}

INSTANTIATE_TEST_SUITE_P(
    Ascii, TitleTest,
    ::testing::Values(
        TitleCase{"Plain", "photo.wzx", "photo"}, TitleCase{"LastDotOnly", "a.b.wzx", "a.b"},
        TitleCase{"NoDot", "readme", "readme"}, TitleCase{"OnlyExtension", ".wzx", ""},
        TitleCase{"DotDot", "..", "."}, TitleCase{"Dot", ".", ""},
        TitleCase{"TrailingDot", "x.", "x"}, TitleCase{"UpperCaseExtension", "x.WZX", "x"},
        TitleCase{"LongNameCut", std::string(300, 'a'), std::string(255, 'a')},
        TitleCase{"LongTitleCutBeforeExtension", std::string(256, 'b') + ".wzx",
                  std::string(255, 'b')},
        TitleCase{"ExactlyLimit", std::string(255, 'c') + ".wzx", std::string(255, 'c')}),
    [](const auto& info) { return std::string(info.param.name); });

// In UTF-8 "é" is two bytes; a cut at 255 bytes that would take only its
// first byte must stop before it.
class Utf8TitleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::setlocale(LC_CTYPE, "C.UTF-8")) GTEST_SKIP() << "no C.UTF-8 locale";
    }
    void TearDown() override { std::setlocale(LC_CTYPE, "C"); }
};

TEST_F(Utf8TitleTest, CutNeverSplitsACharacter) {
    const std::string e = "\xC3\xA9";
    struct {
        std::string entry, title;
    } cases[] = {
        {std::string(254, 'a') + e + ".wzx", std::string(254, 'a')},
        {std::string(253, 'a') + e + ".wzx", std::string(253, 'a') + e},
        {e + e + "." + e, e + e},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(entryTitle(c.entry), c.title) << "entry of " << c.entry.size() << " bytes";
    }
}

}  // namespace
}  // namespace wzx
