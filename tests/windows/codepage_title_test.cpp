// Title splitting in the double-byte ANSI code page 932 (Shift-JIS), where
// the second byte of a character may be 0x5C or any other ASCII-range byte.
// Runs on Windows, or under Wine started in a Japanese locale.
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "cli/title.h"

namespace wzx {
namespace {

const std::string kHyou = "\x95\x5C";  // a kanji whose second byte is 0x5C
const std::string kSo = "\x83\x5C";    // a katakana, likewise
const std::string kHalfA = "\xB1";     // a half-width katakana: one byte

struct Cp932Case {
    const char* name;
    std::string entry;
    std::string title;
};

void PrintTo(const Cp932Case& c, std::ostream* os) {
    *os << c.name;
}

class Cp932TitleTest : public ::testing::TestWithParam<Cp932Case> {};

TEST(Cp932, ProcessRunsInCodePage932) {
    ASSERT_EQ(GetACP(), 932u) << "start the tests in a Japanese locale";
}

TEST_P(Cp932TitleTest, Splits) {
    if (GetACP() != 932) GTEST_SKIP() << "not in code page 932";
    EXPECT_EQ(entryTitle(GetParam().entry), GetParam().title);
}

INSTANTIATE_TEST_SUITE_P(
    Names, Cp932TitleTest,
    ::testing::Values(Cp932Case{"TrailByte5C", kHyou + ".wzx", kHyou},
                      Cp932Case{"TrailBytes5CThroughout", kHyou + kSo + "." + kSo + ".wzx",
                                kHyou + kSo + "." + kSo},
                      Cp932Case{"SingleByteKatakana", kHalfA + kHalfA + ".wzx", kHalfA + kHalfA},
                      Cp932Case{"LeadByteAlone", "ab\x95", "ab\x95"},
                      // The 255th byte would be a lead byte: the title ends after 254.
                      Cp932Case{"CutBeforeCharacterAt255", std::string(254, 'a') + kHyou + ".wzx",
                                std::string(254, 'a')},
                      Cp932Case{"CharacterEndingAt255Kept", std::string(253, 'a') + kHyou + ".wzx",
                                std::string(253, 'a') + kHyou},
                      Cp932Case{"DoubleByteRunCutEvenly",
                                [] {
                                    std::string s;
                                    for (int i = 0; i < 130; ++i) s += kHyou;
                                    return s;
                                }(),
                                [] {
                                    std::string s;
                                    for (int i = 0; i < 127; ++i) s += kHyou;
                                    return s;
                                }()},
                      Cp932Case{"SingleBytesCutAt255", std::string(256, '\xB1') + ".wzx",
                                std::string(255, '\xB1')}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace wzx
