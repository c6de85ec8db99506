// Wildcard matching of one name against one pattern component.
#include <gtest/gtest.h>

#include "cli/wildcard.h"

namespace wzx {
namespace {

struct WildcardCase {
    const char* pattern;
    const char* name;
    bool matches;
};

class WildcardTest : public ::testing::TestWithParam<WildcardCase> {};

TEST_P(WildcardTest, Matches) {
    const WildcardCase& c = GetParam();
    EXPECT_EQ(matchWildcard(c.pattern, c.name), c.matches)
        << "pattern " << c.pattern << " name " << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WildcardTest,
    ::testing::Values(
        WildcardCase{"a.wzx", "a.wzx", true}, WildcardCase{"a.wzx", "b.wzx", false},
        WildcardCase{"a.wzx", "a.wzxx", false}, WildcardCase{"*.wzx", "a.wzx", true},
        WildcardCase{"*.wzx", ".wzx", true}, WildcardCase{"*.wzx", "a.wzx.bak", false},
        WildcardCase{"*", ".", true}, WildcardCase{"*", "..", true}, WildcardCase{"?", ".", true},
        WildcardCase{"?", "..", false}, WildcardCase{"??.wzx", "ab.wzx", true},
        WildcardCase{"??.wzx", "a.wzx", false}, WildcardCase{"a*b*c", "aXbYbZc", true},
        WildcardCase{"a*b*c", "aXbYbZ", false}, WildcardCase{"*a*", "bbb", false},
        WildcardCase{"**", "", true}, WildcardCase{"[a].wzx", "a.wzx", false},
        WildcardCase{"[a].wzx", "[a].wzx", true}, WildcardCase{"A.wzx", "a.wzx", false},
        WildcardCase{"*.WZX", "a.wzx", false}));

}  // namespace
}  // namespace wzx
