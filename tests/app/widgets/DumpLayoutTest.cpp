#include "app/widgets/DumpLayout.h"

#include <gtest/gtest.h>

namespace {

// A fixed-pitch font of 7 x 13 pixels, a header font of 7 x 16, a 17-pixel scroll bar, a 20-pixel menu row.
constexpr DumpMetrics kMetrics{7, 13, 7, 16, 17, 20, 0};
// The data bar's style: offset, hexadecimal and ASCII columns, header field 1, separators, caption row,
// read-only, hot-tracking.
constexpr DWORD kDataBarStyle = (PPDUMP_DEFAULT_STYLE & ~0x7F3Fu) | 0xD0123u;

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(DumpLayout, OffsetDigitsGrowWithTheLastOffsetAndNeverWrapWhenEmpty) {
    struct Case {
        uint64_t base, count;
        int digits;
    } cases[] = {
        {0, 0x10000, 4},   {0, 0x10001, 5}, {0, 0, 4},
        {0, 1, 4},         {0x10000, 1, 5}, {0xFFF0, 0x20, 5},
        {0, 0x1000001, 7}, {0x10000, 0, 5}, {0xFFFFFFFF00000000ull, 0x100, 16},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DumpOffsetDigits(c.base, c.count), c.digits) << std::hex << c.base << " + " << c.count;
}

TEST(DumpLayout, DataBarSetUpLaysOutHeaderCaptionAndColumns) {
    const DumpLayout l = ComputeDumpLayout(kMetrics, {0, 0, 400, 200}, 300, 0, kDataBarStyle);
    EXPECT_EQ(l.rowHeight, 15);
    EXPECT_TRUE(l.headerShown);
    EXPECT_TRUE(SameRect(l.header, {7, 3, 393, 23}));
    // "Offset:" and a box of 6 characters ending 13 characters after the (empty) special text.
    EXPECT_TRUE(SameRect(l.headerFields[DUMP_HEADER_ADDRESS], {56, 3, 98, 22}));
    for (int field = DUMP_HEADER_HEX; field <= DUMP_HEADER_ASCII; ++field)
        EXPECT_TRUE(SameRect(l.headerFields[field], {0, 0, 0, 0})) << field;
    EXPECT_TRUE(SameRect(l.caption, {0, 26, 400, 39}));
    EXPECT_TRUE(SameRect(l.dataArea, {0, 39, 400, 200}));
    EXPECT_TRUE(SameRect(l.columns[1], {0, 39, 42, 200}));
    EXPECT_EQ(l.perRow, 11);
    EXPECT_TRUE(SameRect(l.columns[2], {42, 39, 280, 200}));
    EXPECT_TRUE(SameRect(l.columns[6], {280, 39, 382, 200}));
    for (int kind : {3, 4, 5})
        EXPECT_TRUE(SameRect(l.columns[kind], {0, 0, 0, 0})) << kind;
    EXPECT_EQ(l.visibleRows, 10);
    EXPECT_EQ(l.perPage, 110);
    EXPECT_EQ(l.scrollMax, 18); // 28 rows, 10 visible
    EXPECT_TRUE(l.scrollShown);
    EXPECT_TRUE(SameRect(l.scrollBar, {383, 39, 400, 200}));
    EXPECT_EQ(DumpScrollPos(l, 33), 3);
}

TEST(DumpLayout, ColumnsStayInsideTheClientLessTheScrollBarAcrossWidthsAndStyles) {
    const DWORD styles[] = {PPDUMP_DEFAULT_STYLE,    kDataBarStyle, 0x3F, 0x3F | PPDUMP_WORD_DATA,
                            0x22 | PPDUMP_WORD_DATA, 0x20,          0x04};
    const DumpMetrics fonts[] = {kMetrics, {8, 15, 6, 13, 17, 19, 30}};
    for (const DumpMetrics& m : fonts)
        for (DWORD style : styles)
            for (int width : {60, 150, 333, 640, 1024}) {
                const DumpLayout l = ComputeDumpLayout(m, {0, 0, width, 300}, 5000, 0, style);
                SCOPED_TRACE(testing::Message() << "style " << std::hex << style << std::dec << " width " << width);
                LONG x = (style & PPDUMP_FIELD_ADDRESS) ? l.columns[1].right : 0;
                for (int kind = 2; kind <= 6; ++kind) {
                    if (!(style & (1u << (kind - 1))) || l.perRow == 0) {
                        EXPECT_EQ(l.columns[kind].right, l.columns[kind].left);
                        continue;
                    }
                    EXPECT_EQ(l.columns[kind].left, x);
                    x = l.columns[kind].right;
                }
                if (l.perRow > 0)
                    EXPECT_LE(x, width - m.scrollWidth);
                EXPECT_EQ(l.perPage, l.perRow * l.visibleRows);
            }
}

TEST(DumpLayout, NoElementFitsLeavesNoCellsAndNoScrollBar) {
    const DumpLayout l = ComputeDumpLayout(kMetrics, {0, 0, 100, 200}, 300, 0, kDataBarStyle);
    EXPECT_EQ(l.perRow, 0);
    EXPECT_EQ(l.perPage, 0);
    EXPECT_EQ(l.scrollMax, 0);
    EXPECT_FALSE(l.scrollShown);
    EXPECT_EQ(DumpScrollPos(l, 0), 0);
    EXPECT_EQ(DumpHitTest(l, kMetrics, {50, 50}, 0, 300).field, DUMP_NONE);
}

TEST(DumpLayout, WordModeWidensTheColumns) {
    const DumpLayout l = ComputeDumpLayout(kMetrics, {0, 0, 200, 100}, 50, 0, PPDUMP_FIELD_HEX | PPDUMP_WORD_DATA);
    EXPECT_EQ(l.digits[2], 4);
    EXPECT_EQ(l.perRow, 5);
    EXPECT_TRUE(SameRect(l.columns[2], {0, 0, 182, 100}));
    EXPECT_EQ(l.visibleRows, 6);
}

TEST(DumpLayout, ScrollRangeCoversOnlyRowsBeyondThePage) {
    // 16 per row, one visible row.
    const RECT client{0, 0, 360, 20};
    struct Case {
        uint64_t count;
        int max;
    } cases[] = {{0, 0}, {13, 0}, {16, 0}, {17, 1}, {33, 2}, {48, 2}};
    for (const Case& c : cases) {
        const DumpLayout l = ComputeDumpLayout(kMetrics, client, c.count, 0, PPDUMP_FIELD_HEX);
        ASSERT_EQ(l.perRow, 16);
        ASSERT_EQ(l.visibleRows, 1);
        EXPECT_EQ(l.scrollMax, c.max) << c.count;
        EXPECT_EQ(l.scrollShown, c.max > 0) << c.count;
    }
}

TEST(DumpLayout, HitTestFindsFieldAndElement) {
    const DumpLayout l = ComputeDumpLayout(kMetrics, {0, 0, 400, 200}, 300, 0, kDataBarStyle);
    struct Case {
        POINT p;
        int64_t first;
        uint64_t count;
        int field;
        int64_t element;
    } cases[] = {
        // clang-format off
        {{46, 43}, 0, 300, DUMP_COLUMN_HEX, 0},
        {{88, 43}, 0, 300, DUMP_COLUMN_HEX, 2},
        {{88, 58}, 0, 300, DUMP_COLUMN_HEX, 13},
        {{88, 58}, 11, 300, DUMP_COLUMN_HEX, 24},
        {{311, 43}, 0, 300, DUMP_COLUMN_ASCII, 3},
        {{10, 58}, 0, 300, DUMP_COLUMN_ADDRESS, 11},
        {{60, 10}, 0, 300, DUMP_HEADER_ADDRESS, -1},
        {{200, 43}, 0, 5, DUMP_NONE, -1},  // past the element count
        {{88, 40}, 0, 300, DUMP_NONE, -1}, // above the first row
        {{88, 199}, 0, 300, DUMP_NONE, -1}, // below the last whole row
        {{390, 43}, 0, 300, DUMP_NONE, -1}, // the scroll bar
        {{20, 30}, 0, 300, DUMP_NONE, -1}, // the caption row
        // clang-format on
    };
    for (const Case& c : cases) {
        const DumpHit hit = DumpHitTest(l, kMetrics, c.p, c.first, c.count);
        EXPECT_EQ(hit.field, c.field) << c.p.x << "," << c.p.y;
        EXPECT_EQ(hit.element, c.element) << c.p.x << "," << c.p.y;
    }
}

TEST(DumpLayout, HeaderFieldWrapsToTheNextRowOrIsLeftOut) {
    DumpMetrics m = kMetrics;
    m.specialTextWidth = 300;
    const DumpLayout wrapped = ComputeDumpLayout(m, {0, 0, 400, 200}, 300, 0, kDataBarStyle);
    EXPECT_TRUE(SameRect(wrapped.headerFields[1], {56, 22, 98, 41}));
    const DumpLayout narrow = ComputeDumpLayout(m, {0, 0, 90, 200}, 300, 0, kDataBarStyle);
    EXPECT_TRUE(SameRect(narrow.headerFields[1], {0, 0, 0, 0}));
}

} // namespace
