// CLogProperties: the grid-item factory of the panes and the property-grid back-end. Each operation makes one
// item in one of the grid's styles and adds it as the last child of a parent item, which then owns it:
//   plain       read-only, toolkit colours
//   value       (a group's heading) read-only, blue caption on 0xEBEBEB
//   described   read-only, black caption, caption and value on 0xFAFAFA
//   read-only   (a failing status) read-only, red value
//   category    a category item
// A null value or description means none. With no parent, or a parent that refuses the item, nothing is
// added and the result is null. An item the grid already holds can be given a style again (ApplyStyle), so
// that a back-end may reuse it for a new row.
#pragma once

#include <afx.h>

class CGkPropertyGridItem;

// The styles of the items that are not categories.
enum class GridItemStyle { Plain, Value, Described, ReadOnly };

class CLogProperties {
public:
    // Gives the item the style's read-only state and colours, every other colour back to the toolkit's.
    static void ApplyStyle(CGkPropertyGridItem* item, GridItemStyle style);

    CLogProperties() = default;
    virtual ~CLogProperties() = default;

    CGkPropertyGridItem* AddGridItem(CGkPropertyGridItem* parent, LPCSTR caption, LPCSTR value, LPCSTR description);
    CGkPropertyGridItem* AddGridItemValue(CGkPropertyGridItem* parent, LPCSTR caption, LPCSTR value);
    CGkPropertyGridItem* AddGridItemDescribed(CGkPropertyGridItem* parent, LPCSTR caption, LPCSTR value,
                                              LPCSTR description);
    CGkPropertyGridItem* AddGridItemReadOnly(CGkPropertyGridItem* parent, LPCSTR caption, LPCSTR value);
    CGkPropertyGridItem* AddGridCategory(CGkPropertyGridItem* parent, LPCSTR caption);
};
