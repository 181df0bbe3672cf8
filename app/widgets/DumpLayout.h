// The hex-dump control's geometry: column widths, the header band, the column rectangles, how many elements a
// row and a page hold, the scroll range and the hit test. One function of the font metrics, the client
// rectangle, the element count, the base address and the style, so that painting and hit testing can never
// disagree, and tests can check it without painting.
#pragma once

#include <cstdint>

#include "windows.h"

// Style bits of the hex-dump control.
#define PPDUMP_FIELD_ADDRESS 0x00000001
#define PPDUMP_FIELD_HEX 0x00000002
#define PPDUMP_FIELD_DEC 0x00000004
#define PPDUMP_FIELD_BIN 0x00000008
#define PPDUMP_FIELD_OCT 0x00000010
#define PPDUMP_FIELD_ASCII 0x00000020
#define PPDUMP_BAR_ADDRESS 0x00000100
#define PPDUMP_BAR_HEX 0x00000200
#define PPDUMP_BAR_DEC 0x00000400
#define PPDUMP_BAR_BIN 0x00000800
#define PPDUMP_BAR_OCT 0x00001000
#define PPDUMP_BAR_ASCII 0x00002000
#define PPDUMP_BAR_ALL 0x00007F00
#define PPDUMP_SEPARATOR_LINES 0x00010000
#define PPDUMP_WORD_DATA 0x00020000
#define PPDUMP_NAMED_FIELDS 0x00040000
#define PPDUMP_READ_ONLY 0x00080000
#define PPDUMP_SELECTING_DATA 0x00100000
#define PPDUMP_DATA_LOW_HIGH 0x00200000
#define PPDUMP_TRACK_MOUSE_MOVE 0x00400000
#define PPDUMP_DEFAULT_STYLE 0x00402F23

// Field numbers: 1 to 6 the header fields, 17 to 22 the columns; the low four bits name the kind.
enum DumpField : int {
    DUMP_NONE = -1,
    DUMP_HEADER_ADDRESS = 1,
    DUMP_HEADER_HEX = 2,
    DUMP_HEADER_DEC = 3,
    DUMP_HEADER_BIN = 4,
    DUMP_HEADER_OCT = 5,
    DUMP_HEADER_ASCII = 6,
    DUMP_COLUMN_ADDRESS = 17,
    DUMP_COLUMN_HEX = 18,
    DUMP_COLUMN_DEC = 19,
    DUMP_COLUMN_BIN = 20,
    DUMP_COLUMN_OCT = 21,
    DUMP_COLUMN_ASCII = 22,
};
constexpr int DumpFieldKind(int field) {
    return field & 0x0F;
} // 1 offset ... 6 ASCII
constexpr bool IsDumpColumn(int field) {
    return field >= DUMP_COLUMN_ADDRESS && field <= DUMP_COLUMN_ASCII;
}

// Digits of an element of each kind (index = kind 1..6; 0 unused); the offset's comes from DumpOffsetDigits.
int DumpKindDigits(int kind, bool wordMode);
// 4, plus one for each further 4 bits of the last shown offset above 16 bits. No elements counts as 4 digits.
int DumpOffsetDigits(uint64_t base, uint64_t count);

struct DumpMetrics {
    int charWidth = 0;       // tmAveCharWidth of the data font
    int textHeight = 0;      // tmHeight of the data font
    int headerCharWidth = 0; // the same of the header font
    int headerTextHeight = 0;
    int scrollWidth = 0;      // SM_CXVSCROLL
    int menuHeight = 0;       // SM_CYMENU
    int specialTextWidth = 0; // width of the shared special text in the header font
};

struct DumpLayout {
    int rowHeight = 0; // textHeight * 1.2, truncated
    int headerRowHeight = 0;
    int offsetDigits = 4;
    int digits[7] = {}; // per kind (1..6)
    bool headerShown = false;
    RECT header{};          // the band
    RECT headerFields[7]{}; // 1..6; [0] unused; only field 1 is laid out
    int specialTextEnd = 0;
    bool captionShown = false;
    RECT caption{};
    RECT columns[7]{}; // per kind (1..6); empty when not shown; [0] unused
    RECT dataArea{};
    int perRow = 0; // 0 when no element fits (the control then keeps 1 for navigation)
    int visibleRows = 0;
    int perPage = 0;
    int scrollMax = 0;
    bool scrollShown = false;
    RECT scrollBar{};

    // First row's top; rows follow every rowHeight.
    int RowTop(int row) const { return dataArea.top + rowHeight / 4 + row * rowHeight; }
};

DumpLayout ComputeDumpLayout(const DumpMetrics& metrics, const RECT& client, uint64_t count, uint64_t base,
                             DWORD style);

// The scroll position for a first shown element.
int DumpScrollPos(const DumpLayout& layout, int64_t firstShown);

struct DumpHit {
    int field = DUMP_NONE;
    int64_t element = -1; // -1 for a header field or a miss
};
// The field and element under a point; a column hit past the element count, or outside the column's rows, is
// a miss.
DumpHit DumpHitTest(const DumpLayout& layout, const DumpMetrics& metrics, POINT point, int64_t firstShown,
                    uint64_t count);
