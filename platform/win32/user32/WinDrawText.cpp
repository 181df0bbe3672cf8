// DrawText: one pango layout measures and draws the text, so a DT_CALCRECT rectangle is the one text fills.
#include <algorithm>
#include <cstring>
#include <pango/pangocairo.h>
#include <string>

#include "WinUserDraw.h"
#include "internal/GdiCallLog.h"
#include "internal/TextDraw.h"

using namespace win32::internal;

namespace {

// The text without its '&' prefixes, and the index (in the result) of the character to underline, if any.
struct Prefixed {
    std::string text;
    size_t underline = std::string::npos;
};

Prefixed StripPrefixes(std::string_view text, UINT format) {
    Prefixed out;
    if (format & DT_NOPREFIX) {
        out.text = text;
        return out;
    }
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size()) {
            ++i; // "&&" is one '&'; "&x" is an underlined x
            if (text[i] != '&')
                out.underline = out.text.size();
        }
        out.text += text[i];
    }
    if (format & DT_HIDEPREFIX)
        out.underline = std::string::npos;
    return out;
}

} // namespace

int DrawTextA(HDC dc, LPCSTR text, int count, LPRECT rect, UINT format) {
    auto d = LookupDC(dc);
    if (!d || !rect || (!text && count != 0))
        return 0;
    std::string_view raw = !text       ? std::string_view()
                           : count < 0 ? std::string_view(text)
                                       : std::string_view(text, static_cast<size_t>(count));
    Prefixed prefixed = StripPrefixes(raw, format);
    bool single = format & DT_SINGLELINE;
    if (single) {
        // One line: line ends are not breaks and draw nothing.
        std::string joined;
        for (size_t i = 0; i < prefixed.text.size(); ++i) {
            if (prefixed.text[i] == '\r' || prefixed.text[i] == '\n') {
                if (prefixed.underline != std::string::npos && prefixed.underline > joined.size())
                    --prefixed.underline;
                continue;
            }
            joined += prefixed.text[i];
        }
        prefixed.text = joined;
    }
    TextLayout layout(*d->state.font, prefixed.text);
    PangoLayout* pl = layout.Get();
    if (prefixed.underline != std::string::npos)
        layout.UnderlineCharacter(prefixed.underline);
    int width = rect->right - rect->left;
    int height = rect->bottom - rect->top;
    bool wrap = (format & DT_WORDBREAK) && !single;
    if (wrap) {
        pango_layout_set_width(pl, (width > 0 ? width : 1) * PANGO_SCALE);
        pango_layout_set_wrap(pl, PANGO_WRAP_WORD_CHAR);
    } else if ((format & (DT_END_ELLIPSIS | DT_PATH_ELLIPSIS | DT_WORD_ELLIPSIS)) && !(format & DT_CALCRECT)) {
        pango_layout_set_width(pl, (width > 0 ? width : 0) * PANGO_SCALE);
        pango_layout_set_ellipsize(pl, (format & DT_PATH_ELLIPSIS) ? PANGO_ELLIPSIZE_MIDDLE : PANGO_ELLIPSIZE_END);
    }
    PangoAlignment align = (format & DT_CENTER)  ? PANGO_ALIGN_CENTER
                           : (format & DT_RIGHT) ? PANGO_ALIGN_RIGHT
                                                 : PANGO_ALIGN_LEFT;
    pango_layout_set_alignment(pl, align);
    PangoRectangle logical;
    pango_layout_get_pixel_extents(pl, nullptr, &logical);
    int textWidth = logical.x + logical.width;
    int textHeight = layout.Extent().cy;
    if (pango_layout_get_width(pl) >= 0) {
        // Aligned inside the given width already.
        textWidth = logical.width;
    }

    if (format & DT_CALCRECT) {
        rect->right = rect->left + (wrap ? std::max(0, logical.width) : textWidth);
        rect->bottom = rect->top + textHeight;
        return textHeight;
    }

    // Where the layout's top-left corner goes (logical coordinates).
    int x = rect->left;
    if (pango_layout_get_width(pl) < 0) {
        if (format & DT_CENTER)
            x += (width - textWidth) / 2;
        else if (format & DT_RIGHT)
            x += width - textWidth;
    }
    int y = rect->top;
    if (single && (format & DT_VCENTER))
        y += (height - textHeight) / 2;
    else if (single && (format & DT_BOTTOM))
        y += height - textHeight;

    LogGdiCall(*d, "DrawText", *rect, 0, raw);
    RECT clip = d->ToCanvas(*rect);
    DrawLayout(*d, layout, d->ToCanvas(x, y), (format & DT_NOCLIP) ? nullptr : &clip, d->state.bkMode == OPAQUE);
    if (format & (DT_VCENTER | DT_BOTTOM))
        return y - rect->top + textHeight;
    return textHeight;
}
