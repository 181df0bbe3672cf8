// Loading bitmaps and icons from the resource store, icons from bitmaps, the system's icons, and drawing icons.
#include "WinIcons.h"

#include <cstring>
#include <map>
#include <mutex>
#include <pango/pangocairo.h>

#include "WinHandles.h"
#include "internal/GdiCallLog.h"
#include "internal/GdiFont.h"
#include "internal/Raster.h"
#include "internal/ResourceStore.h"
#include "winerror.h"

using namespace win32::internal;

namespace {

constexpr int kSystemIconSize = 32;

HICON InsertIcon(std::shared_ptr<Icon> icon, bool shared) {
    return reinterpret_cast<HICON>(InsertGdiObject(std::move(icon), shared));
}

std::shared_ptr<Icon> LookupIcon(HICON icon) {
    auto found = LookupGdi<Icon>(icon);
    if (!found)
        SetLastError(ERROR_INVALID_HANDLE);
    return found;
}

std::shared_ptr<Icon> IconFromPng(const std::vector<unsigned char>& bytes) {
    auto icon = std::make_shared<Icon>();
    icon->color = ReadCanvasPng(bytes.data(), bytes.size(), &icon->opaque);
    if (!icon->color)
        return nullptr;
    return icon;
}

// The system's icons, drawn once: a shape in the classic colours and a sign on it.
std::shared_ptr<Icon> DrawSystemIcon(int id) {
    cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kSystemIconSize, kSystemIconSize);
    cairo_t* cr = cairo_create(image);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    const char* sign = "";
    double r = 0, g = 0, b = 0; // the sign's colour
    switch (id) {
    case 32513: // hand: a red disc with a white cross
        cairo_arc(cr, 16, 16, 15, 0, 6.2832);
        cairo_set_source_rgb(cr, 1, 0, 0);
        cairo_fill(cr);
        sign = "X";
        r = g = b = 1;
        break;
    case 32515: // exclamation: a yellow triangle
        cairo_move_to(cr, 16, 1);
        cairo_line_to(cr, 31, 30);
        cairo_line_to(cr, 1, 30);
        cairo_close_path(cr);
        cairo_set_source_rgb(cr, 1, 1, 0);
        cairo_fill(cr);
        sign = "!";
        break;
    case 32514: // question and asterisk: a white disc with a blue sign
    case 32516:
        cairo_arc(cr, 16, 16, 15, 0, 6.2832);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_fill_preserve(cr);
        cairo_set_source_rgb(cr, 0, 0, 0);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
        sign = id == 32514 ? "?" : "i";
        b = 1;
        break;
    default: // application: a window with a blue caption
        cairo_rectangle(cr, 2, 4, 28, 24);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_fill(cr);
        cairo_rectangle(cr, 2, 4, 28, 6);
        cairo_set_source_rgb(cr, 10 / 255.0, 36 / 255.0, 106 / 255.0);
        cairo_fill(cr);
        cairo_rectangle(cr, 2.5, 4.5, 27, 23);
        cairo_set_source_rgb(cr, 0, 0, 0);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
        break;
    }
    if (*sign) {
        LOGFONTA lf{};
        lf.lfHeight = -20;
        lf.lfWeight = FW_BOLD;
        Font font(lf);
        TextLayout layout(font, sign);
        SIZE size = layout.Extent();
        cairo_set_source_rgb(cr, r, g, b);
        cairo_move_to(cr, (kSystemIconSize - size.cx) / 2, (kSystemIconSize - size.cy) / 2 + 2);
        pango_cairo_show_layout(cr, layout.Get());
    }
    cairo_destroy(cr);
    cairo_surface_flush(image);
    auto icon = std::make_shared<Icon>();
    icon->color = std::make_shared<Canvas>(kSystemIconSize, kSystemIconSize, false);
    icon->opaque.assign(kSystemIconSize * kSystemIconSize, 0);
    const unsigned char* data = cairo_image_surface_get_data(image);
    int stride = cairo_image_surface_get_stride(image);
    for (int y = 0; y < kSystemIconSize; ++y)
        for (int x = 0; x < kSystemIconSize; ++x) {
            uint32_t p;
            std::memcpy(&p, data + y * stride + 4 * x, 4);
            bool opaque = (p >> 24) >= 128;
            icon->opaque[y * kSystemIconSize + x] = opaque ? 1 : 0;
            icon->color->Row(y)[x] = opaque ? (p & 0xFFFFFF) : kBlackPixel;
        }
    icon->color->EndPixels();
    cairo_surface_destroy(image);
    return icon;
}

HICON SystemIcon(LPCSTR name) {
    if (!IS_INTRESOURCE(name))
        return nullptr;
    int id = static_cast<int>(reinterpret_cast<ULONG_PTR>(name));
    if (id == 32517)
        id = 32512;
    if (id < 32512 || id > 32516)
        return nullptr;
    static std::mutex lock;
    static HICON icons[5] = {};
    std::lock_guard guard(lock);
    HICON& slot = icons[id - 32512];
    if (!slot)
        slot = InsertIcon(DrawSystemIcon(id), true);
    return slot;
}

HBITMAP BitmapFromCanvas(std::shared_ptr<Canvas> canvas) {
    auto bitmap = std::make_shared<Bitmap>();
    bitmap->canvas = std::move(canvas);
    return reinterpret_cast<HBITMAP>(InsertGdiObject(bitmap));
}

std::shared_ptr<Canvas> CopyOf(Canvas& source) {
    auto copy = std::make_shared<Canvas>(source.Width(), source.Height(), source.Mono());
    std::lock_guard guard(source.Lock());
    source.BeginPixels();
    for (int y = 0; y < source.Height(); ++y)
        std::memcpy(copy->Row(y), source.Row(y), sizeof(uint32_t) * source.Width());
    copy->EndPixels();
    return copy;
}

} // namespace

HBITMAP LoadBitmapA(HINSTANCE instance, LPCSTR name) {
    const std::vector<unsigned char>* bytes = FindResourceBytes(instance, RT_BITMAP, name);
    if (!bytes)
        return nullptr;
    auto canvas = ReadCanvasPng(bytes->data(), bytes->size(), nullptr);
    if (!canvas) {
        SetLastError(ERROR_BAD_FORMAT);
        return nullptr;
    }
    return BitmapFromCanvas(std::move(canvas));
}

HICON LoadIconA(HINSTANCE instance, LPCSTR name) {
    if (!instance) {
        if (HICON system = SystemIcon(name))
            return system;
    }
    const std::vector<unsigned char>* bytes = FindResourceBytes(instance, RT_ICON, name);
    if (!bytes)
        return nullptr;
    // The platform shares an icon loaded by LoadIcon: one object per resource, never destroyed.
    static std::mutex lock;
    static std::map<const void*, HICON> loaded;
    std::lock_guard guard(lock);
    HICON& slot = loaded[bytes];
    if (!slot) {
        auto icon = IconFromPng(*bytes);
        if (!icon) {
            SetLastError(ERROR_BAD_FORMAT);
            return nullptr;
        }
        slot = InsertIcon(std::move(icon), true);
    }
    return slot;
}

HANDLE LoadImageA(HINSTANCE instance, LPCSTR name, UINT type, int width, int height, UINT flags) {
    if (flags & LR_LOADFROMFILE) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    switch (type) {
    case IMAGE_BITMAP: return LoadBitmapA(instance, name);
    case IMAGE_ICON: {
        if (flags & LR_SHARED)
            return LoadIconA(instance, name);
        const std::vector<unsigned char>* bytes = FindResourceBytes(instance, RT_ICON, name);
        if (!bytes)
            return nullptr;
        auto icon = IconFromPng(*bytes);
        if (!icon) {
            SetLastError(ERROR_BAD_FORMAT);
            return nullptr;
        }
        return InsertIcon(std::move(icon), false);
    }
    default: SetLastError(ERROR_INVALID_PARAMETER); return nullptr;
    }
}

HICON CreateIconIndirect(PICONINFO info) {
    if (!info) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto mask = LookupGdi<Bitmap>(info->hbmMask);
    auto color = LookupGdi<Bitmap>(info->hbmColor);
    if (!mask || (info->hbmColor && !color)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    auto icon = std::make_shared<Icon>();
    Canvas& m = *mask->canvas;
    int width = m.Width(), height = color ? m.Height() : m.Height() / 2;
    if (color) {
        auto source = CopyOf(*color->canvas);
        width = std::min(width, source->Width());
        height = std::min(height, source->Height());
        icon->color = std::make_shared<Canvas>(width, height, false);
        for (int y = 0; y < height; ++y)
            std::memcpy(icon->color->Row(y), source->Row(y), sizeof(uint32_t) * width);
    } else {
        icon->color = std::make_shared<Canvas>(width, height, false);
    }
    if (width < 1 || height < 1 || width != icon->color->Width() || height != icon->color->Height()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    icon->opaque.assign(static_cast<size_t>(width) * height, 0);
    {
        std::lock_guard guard(m.Lock());
        m.BeginPixels();
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                // Without a colour bitmap, the mask's lower half is the (monochrome) image.
                if (!color)
                    icon->color->Row(y)[x] = m.Pixel(x, y + height);
                icon->opaque[static_cast<size_t>(y) * width + x] = m.Pixel(x, y) == kWhitePixel ? 0 : 1;
            }
    }
    icon->color->EndPixels();
    return InsertIcon(std::move(icon), false);
}

HICON CopyIcon(HICON icon) {
    auto source = LookupIcon(icon);
    if (!source)
        return nullptr;
    auto copy = std::make_shared<Icon>();
    copy->color = CopyOf(*source->color);
    copy->opaque = source->opaque;
    return InsertIcon(std::move(copy), false);
}

BOOL GetIconInfo(HICON icon, PICONINFO info) {
    auto source = LookupIcon(icon);
    if (!source || !info)
        return FALSE;
    int width = source->color->Width(), height = source->color->Height();
    auto mask = std::make_shared<Canvas>(width, height, true);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            mask->Row(y)[x] = source->Opaque(x, y) ? kBlackPixel : kWhitePixel;
    mask->EndPixels();
    info->fIcon = TRUE;
    info->xHotspot = static_cast<DWORD>(width / 2);
    info->yHotspot = static_cast<DWORD>(height / 2);
    info->hbmMask = BitmapFromCanvas(std::move(mask));
    info->hbmColor = BitmapFromCanvas(CopyOf(*source->color));
    return TRUE;
}

BOOL DestroyIcon(HICON icon) {
    auto found = LookupIcon(icon);
    if (!found)
        return FALSE;
    // Shared icons stay; the platform answers TRUE for them too.
    return RemoveGdiObject(icon) ? TRUE : FALSE;
}

BOOL DrawIcon(HDC dc, int x, int y, HICON icon) {
    return DrawIconEx(dc, x, y, icon, 0, 0, 0, nullptr, DI_NORMAL);
}

BOOL DrawIconEx(HDC dc, int x, int y, HICON icon, int width, int height, UINT step, HBRUSH background, UINT flags) {
    auto d = LookupDC(dc);
    auto i = LookupIcon(icon);
    if (!d || !i)
        return FALSE;
    Canvas& image = *i->color;
    if (width <= 0)
        width = image.Width();
    if (height <= 0)
        height = image.Height();
    LogGdiCall(*d, "DrawIcon", RECT{x, y, x + width, y + height});
    POINT at = d->ToCanvas(x, y);
    Region area(RECT{at.x, at.y, at.x + width, at.y + height});
    if (background) {
        auto brush = LookupGdi<Brush>(background);
        if (brush) {
            PixelScope scope(d->Target());
            PaintRegion(*d, area, *brush, PATCOPY);
        }
    }
    if (!(flags & DI_NORMAL))
        return TRUE;
    Canvas& out = d->Target();
    std::lock_guard iconGuard(image.Lock());
    image.BeginPixels();
    PixelScope scope(out);
    area.Intersect(d->Visible());
    for (const RECT& r : area.Rects())
        for (int py = r.top; py < r.bottom; ++py)
            for (int px = r.left; px < r.right; ++px) {
                int sx = (px - at.x) * image.Width() / width;
                int sy = (py - at.y) * image.Height() / height;
                bool opaque = i->Opaque(sx, sy);
                uint32_t& target = out.Row(py)[px];
                if ((flags & DI_NORMAL) == DI_MASK)
                    target = opaque ? kBlackPixel : kWhitePixel;
                else if (opaque || (flags & DI_NORMAL) == DI_IMAGE)
                    target = out.Mono() ? MonoPixel(image.Pixel(sx, sy)) : image.Pixel(sx, sy);
            }
    return TRUE;
}
