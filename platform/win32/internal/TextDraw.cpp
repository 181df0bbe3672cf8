#include "TextDraw.h"

#include <pango/pangocairo.h>

#include "Raster.h"

namespace win32::internal {

void DrawLayout(DeviceContext& dc, const TextLayout& layout, POINT at, const RECT* clip, bool opaque) {
    Canvas& canvas = dc.Target();
    PangoRectangle ink, logical;
    pango_layout_get_pixel_extents(layout.Get(), &ink, &logical);
    const SIZE extent = layout.Extent();
    RECT box{at.x + logical.x, at.y + logical.y, at.x + logical.x + logical.width, at.y + logical.y + extent.cy};
    const int lead = layout.Lead();
    PixelScope scope(canvas);
    Region area = dc.Visible();
    if (clip)
        area.Intersect(*clip);
    if (opaque) {
        Brush background;
        background.style = BS_SOLID;
        background.color = dc.state.bkColor;
        Region fill(box);
        fill.Intersect(area);
        PaintRegion(dc, fill, background, 0x00F00021 /* PATCOPY */);
    }
    if (area.Empty())
        return;
    cairo_t* cr = cairo_create(canvas.Surface());
    area.ClipCairo(cr);
    uint32_t color = PixelOf(dc.state.textColor);
    if (canvas.Mono())
        color = MonoPixel(color);
    cairo_set_source_rgb(cr, ((color >> 16) & 0xFF) / 255.0, ((color >> 8) & 0xFF) / 255.0, (color & 0xFF) / 255.0);
    cairo_move_to(cr, at.x, at.y + lead);
    pango_cairo_show_layout(cr, layout.Get());
    cairo_destroy(cr);
    if (canvas.Mono()) {
        // Antialiased edges would leave grey on a canvas that holds only black and white.
        canvas.BeginPixels();
        Region inked(RECT{at.x + ink.x - 1, at.y + lead + ink.y - 1, at.x + ink.x + ink.width + 1,
                          at.y + lead + ink.y + ink.height + 1});
        inked.Intersect(area);
        for (const RECT& r : inked.Rects())
            for (int y = r.top; y < r.bottom; ++y)
                for (int x = r.left; x < r.right; ++x)
                    canvas.Row(y)[x] = MonoPixel(canvas.Row(y)[x]);
    }
}

} // namespace win32::internal
