#include "DumpLayout.h"

#include <algorithm>

namespace {

constexpr int kKindOffset = 1;
constexpr int kKindHex = 2;
constexpr int kKindAscii = 6;

// Floor division: points above or left of a column give negative rows and indices, which must stay misses.
int64_t FloorDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

bool Inside(const RECT& r, POINT p) {
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

} // namespace

int DumpKindDigits(int kind, bool wordMode) {
    switch (kind) {
    case 2: return wordMode ? 4 : 2;
    case 3: return wordMode ? 5 : 3;
    case 4: return wordMode ? 17 : 8;
    case 5: return wordMode ? 6 : 3;
    case 6: return 1;
    default: return 0;
    }
}

int DumpOffsetDigits(uint64_t base, uint64_t count) {
    // Unsigned and with no elements treated as one: base + 0 - 1 would wrap to a full-width offset.
    uint64_t last = base + (count ? count - 1 : 0);
    int digits = 4;
    for (last >>= 16; last != 0; last >>= 4)
        ++digits;
    return digits;
}

DumpLayout ComputeDumpLayout(const DumpMetrics& m, const RECT& client, uint64_t count, uint64_t base, DWORD style) {
    DumpLayout l;
    const bool word = (style & PPDUMP_WORD_DATA) != 0;
    l.rowHeight = static_cast<int>(m.textHeight * 1.2);
    l.headerRowHeight = static_cast<int>(m.headerTextHeight * 1.2);
    l.offsetDigits = DumpOffsetDigits(base, count);
    l.digits[kKindOffset] = l.offsetDigits;
    for (int kind = kKindHex; kind <= kKindAscii; ++kind)
        l.digits[kind] = DumpKindDigits(kind, word);

    int top = client.top;
    l.headerShown = (style & PPDUMP_BAR_ALL) != 0;
    if (l.headerShown) {
        const int hcw = m.headerCharWidth;
        l.header = {client.left + hcw, client.top + l.headerRowHeight / 6, client.right - hcw,
                    client.top + l.headerRowHeight / 6 + m.menuHeight};
        l.specialTextEnd = l.header.left + m.specialTextWidth;
        if (style & PPDUMP_BAR_ADDRESS) {
            // "Offset:" and a box of (digits + 2) characters whose right edge is the label and box after the
            // special text; it wraps to the next row when it passes the band and is left out when wider.
            const int itemWidth = (6 + l.offsetDigits + 3) * hcw;
            int right = l.specialTextEnd + itemWidth;
            int rowTop = l.header.top;
            if (right > l.header.right) {
                right = l.header.left + itemWidth;
                rowTop += l.headerRowHeight;
            }
            if (right <= l.header.right)
                l.headerFields[DUMP_HEADER_ADDRESS] = {right - (l.offsetDigits + 2) * hcw, rowTop, right,
                                                       rowTop + l.headerRowHeight};
        }
        top = l.header.bottom + l.headerRowHeight / 6;
    }
    l.captionShown = (style & PPDUMP_NAMED_FIELDS) != 0;
    if (l.captionShown) {
        l.caption = {client.left, top, client.right, top + m.textHeight};
        top = l.caption.bottom;
    }
    l.dataArea = {client.left, std::min<LONG>(top, client.bottom), client.right, client.bottom};

    const int cw = m.charWidth;
    int x = client.left;
    if (style & PPDUMP_FIELD_ADDRESS) {
        l.columns[kKindOffset] = {x, l.dataArea.top, x + (l.offsetDigits + 2) * cw, l.dataArea.bottom};
        x = l.columns[kKindOffset].right;
    }
    double available = static_cast<double>(client.right - x) - m.scrollWidth;
    double perElement = 0;
    bool anyColumn = false;
    for (int kind = kKindHex; kind <= kKindAscii; ++kind) {
        if (!(style & (1u << (kind - 1))))
            continue;
        anyColumn = true;
        if (kind == kKindAscii) {
            // The column is two characters wider than its cells; reserving a pixel less let a full row
            // reach one pixel under the scroll bar.
            available -= 2 * cw;
            perElement += l.digits[kind] * cw + 1;
        } else {
            available -= cw;
            perElement += (l.digits[kind] + 1) * cw;
        }
    }
    if (anyColumn && perElement > 0 && available >= perElement) {
        l.perRow = static_cast<int>(available / perElement);
        for (int kind = kKindHex; kind <= kKindAscii; ++kind) {
            if (!(style & (1u << (kind - 1))))
                continue;
            const int width =
                kind == kKindAscii ? (l.perRow + 2) * cw + l.perRow : ((l.digits[kind] + 1) * l.perRow + 1) * cw;
            l.columns[kind] = {x, l.dataArea.top, x + width, l.dataArea.bottom};
            x += width;
        }
    }
    const int rowsHeight = l.dataArea.bottom - (l.dataArea.top + l.rowHeight / 4);
    l.visibleRows = l.rowHeight > 0 && rowsHeight > 0 ? rowsHeight / l.rowHeight : 0;
    l.perPage = l.visibleRows * l.perRow;
    if (l.perRow > 0) {
        // Data that fit need no scrolling: the range covers the rows beyond the visible ones only.
        const int64_t rows = static_cast<int64_t>((count + l.perRow - 1) / l.perRow);
        l.scrollMax = static_cast<int>(std::max<int64_t>(0, rows - l.visibleRows));
    }
    l.scrollShown = l.scrollMax > 0;
    if (l.scrollShown)
        l.scrollBar = {l.dataArea.right - m.scrollWidth, l.dataArea.top, l.dataArea.right, l.dataArea.bottom};
    return l;
}

int DumpScrollPos(const DumpLayout& layout, int64_t firstShown) {
    return layout.perRow > 0 ? static_cast<int>(firstShown / layout.perRow) : 0;
}

DumpHit DumpHitTest(const DumpLayout& l, const DumpMetrics& m, POINT p, int64_t firstShown, uint64_t count) {
    DumpHit hit;
    if (l.headerShown && Inside(l.headerFields[DUMP_HEADER_ADDRESS], p)) {
        hit.field = DUMP_HEADER_ADDRESS;
        return hit;
    }
    if (l.perRow <= 0 || m.charWidth <= 0 || l.rowHeight <= 0)
        return hit;
    for (int kind = kKindOffset; kind <= kKindAscii; ++kind) {
        const RECT& r = l.columns[kind];
        if (!Inside(r, p))
            continue;
        const int64_t row = FloorDiv(p.y - r.top - l.rowHeight / 4, l.rowHeight);
        int64_t index = 0;
        if (kind == kKindOffset)
            index = 0;
        else if (kind == kKindAscii)
            index = FloorDiv(p.x - (r.left + m.charWidth - 1), m.charWidth + 1);
        else
            index = FloorDiv(FloorDiv(p.x - r.left - m.charWidth / 2, m.charWidth), l.digits[kind] + 1);
        if (row < 0 || row >= l.visibleRows || index < 0 || index >= l.perRow)
            return hit;
        const int64_t element = row * l.perRow + firstShown + index;
        if (element < 0 || static_cast<uint64_t>(element) >= count)
            return hit;
        hit.field = DUMP_COLUMN_ADDRESS + kind - 1;
        hit.element = element;
        return hit;
    }
    return hit;
}
