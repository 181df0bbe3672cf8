// The gap line as the user reads it, for each way the gaps can fall.
#include <gtest/gtest.h>

#include "tools/run-capture/GapLine.h"

namespace {

TEST(GapLine, SaysInPlainWordsWhatTheGapsLost) {
    struct Case {
        unsigned long gaps;
        unsigned long kept;
        unsigned long lost;
        const char* line;
    };
    const Case cases[] = {
        {0, 0, 0, "gaps: 0 (no record lost)"},
        {1, 1, 1, "gaps: 1 (1 record lost)"},
        {2, 2, 1458, "gaps: 2 (1,458 records lost)"},
        {1, 0, 0, "gaps: 1 (it fell among records since dropped, so its loss is not known)"},
        {3, 0, 0, "gaps: 3 (all fell among records since dropped, so their loss is not known)"},
        {159, 2, 1458,
         "gaps: 159 (1,458 records lost in the 2 gaps whose records the banks still hold; 157 gaps fell among "
         "records since dropped, so their loss is not known)"},
        {2, 1, 7,
         "gaps: 2 (7 records lost in the gap whose records the banks still hold; 1 gap fell among records since "
         "dropped, so its loss is not known)"},
        {1234, 1233, 1234567,
         "gaps: 1,234 (1,234,567 records lost in the 1,233 gaps whose records the banks still "
         "hold; 1 gap fell among records since dropped, so its loss is not known)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.line, tdl::session::GapLine(c.gaps, c.kept, c.lost)) << c.gaps << " " << c.kept << " " << c.lost;
}

TEST(GapLine, GroupsThousands) {
    EXPECT_EQ("0", tdl::session::Grouped(0));
    EXPECT_EQ("999", tdl::session::Grouped(999));
    EXPECT_EQ("1,000", tdl::session::Grouped(1000));
    EXPECT_EQ("18,446,744,073,709,551,615", tdl::session::Grouped(UINT64_MAX));
}

} // namespace
