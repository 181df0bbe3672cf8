#include <gtest/gtest.h>

#include "WinCrtString.h"

namespace {

int Sign(int n) {
    return (n > 0) - (n < 0);
}

// Only ASCII letters fold; bytes above 0x7F compare as unsigned, and a shorter string sorts first.
TEST(CrtString, CaseBlindComparisonFoldsAsciiOnly) {
    struct Case {
        const char* a;
        const char* b;
        size_t count;
        int sign;
    };
    const Case cases[] = {
        {"Setup.MSI", "setup.msi", static_cast<size_t>(-1), 0},
        {"abc", "ABD", static_cast<size_t>(-1), -1},
        {"abc", "ab", static_cast<size_t>(-1), 1},
        {"", "", static_cast<size_t>(-1), 0},
        // '_' (0x5F) lies between the upper and lower cases: folding to lower case puts it before letters.
        {"_", "A", static_cast<size_t>(-1), -1},
        {"\xC4", "\xE4", static_cast<size_t>(-1), -1},
        {"z\x80", "Z\x7F", static_cast<size_t>(-1), 1},
        {"abcX", "ABCy", 3, 0},
        {"abc", "abd", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << '"' << c.a << "\" vs \"" << c.b << "\" count " << c.count);
        EXPECT_EQ(Sign(_strnicmp(c.a, c.b, c.count)), c.sign);
        if (c.count == static_cast<size_t>(-1))
            EXPECT_EQ(Sign(_stricmp(c.a, c.b)), c.sign);
    }
}

} // namespace
