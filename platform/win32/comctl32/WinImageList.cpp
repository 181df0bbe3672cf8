#include "WinImageList.h"

#include <cstring>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "WinHandles.h"
#include "WinUserDraw.h"
#include "internal/GdiCallLog.h"
#include "internal/ObjectTable.h"
#include "internal/Raster.h"
#include "internal/StockObjects.h"
#include "winerror.h"

using namespace win32::internal;

namespace {

struct Image {
    std::vector<uint32_t> pixels;
    std::vector<uint8_t> opaque;
};

struct ImageList {
    std::mutex lock;
    int width = 0, height = 0;
    bool masked = false;
    COLORREF background = CLR_NONE;
    std::vector<Image> images;
};

ObjectTable<ImageList>& Lists() {
    static auto* lists = new ObjectTable<ImageList>(0x40000);
    return *lists;
}

std::shared_ptr<ImageList> Lookup(HIMAGELIST list) {
    auto found = Lists().Find(list);
    if (!found)
        SetLastError(ERROR_INVALID_HANDLE);
    return found;
}

// The pixels of a bitmap, row by row.
bool ReadBitmap(HBITMAP handle, int& width, int& height, bool& mono, std::vector<uint32_t>& pixels) {
    auto bitmap = LookupGdi<Bitmap>(handle);
    if (!bitmap)
        return false;
    Canvas& c = *bitmap->canvas;
    std::lock_guard guard(c.Lock());
    c.BeginPixels();
    width = c.Width();
    height = c.Height();
    mono = c.Mono();
    pixels.resize(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        std::memcpy(pixels.data() + static_cast<size_t>(y) * width, c.Row(y), sizeof(uint32_t) * width);
    return true;
}

// Cuts a bitmap (and its mask) into images; `key` is a transparent colour's pixel when given.
bool Split(const ImageList& list, HBITMAP image, HBITMAP mask, std::optional<uint32_t> key, std::vector<Image>& out) {
    int w = 0, h = 0, mw = 0, mh = 0;
    bool mono = false, maskMono = false;
    std::vector<uint32_t> pixels, maskPixels;
    if (!ReadBitmap(image, w, h, mono, pixels) || (mask && !ReadBitmap(mask, mw, mh, maskMono, maskPixels))) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    int count = w / list.width;
    for (int i = 0; i < count; ++i) {
        Image img;
        img.pixels.assign(static_cast<size_t>(list.width) * list.height, kBlackPixel);
        img.opaque.assign(img.pixels.size(), 1);
        for (int y = 0; y < list.height && y < h; ++y)
            for (int x = 0; x < list.width; ++x) {
                int sx = i * list.width + x;
                uint32_t p = pixels[static_cast<size_t>(y) * w + sx];
                size_t k = static_cast<size_t>(y) * list.width + x;
                img.pixels[k] = p;
                if (key && p == *key)
                    img.opaque[k] = 0;
                if (mask && sx < mw && y < mh && maskPixels[static_cast<size_t>(y) * mw + sx] == kWhitePixel)
                    img.opaque[k] = 0;
            }
        out.push_back(std::move(img));
    }
    return true;
}

int AddImages(HIMAGELIST handle, HBITMAP image, HBITMAP mask, std::optional<uint32_t> key) {
    auto list = Lookup(handle);
    if (!list)
        return -1;
    std::vector<Image> images;
    if (!Split(*list, image, mask, key, images))
        return -1;
    std::lock_guard guard(list->lock);
    int first = static_cast<int>(list->images.size());
    for (Image& img : images)
        list->images.push_back(std::move(img));
    return images.empty() ? -1 : first;
}

} // namespace

HIMAGELIST ImageList_Create(int width, int height, UINT flags, int initial, int grow) {
    if (width <= 0 || height <= 0 || width > kLargestCanvas || height > kLargestCanvas) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto list = std::make_shared<ImageList>();
    list->width = width;
    list->height = height;
    list->masked = flags & ILC_MASK;
    return reinterpret_cast<HIMAGELIST>(Lists().Insert(std::move(list)));
}

BOOL ImageList_Destroy(HIMAGELIST list) {
    if (!Lists().Remove(list)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

int ImageList_Add(HIMAGELIST list, HBITMAP image, HBITMAP mask) {
    return AddImages(list, image, mask, std::nullopt);
}

int ImageList_AddMasked(HIMAGELIST list, HBITMAP image, COLORREF mask) {
    return AddImages(list, image, nullptr, mask == CLR_NONE ? std::nullopt : std::optional<uint32_t>(PixelOf(mask)));
}

BOOL ImageList_Replace(HIMAGELIST handle, int index, HBITMAP image, HBITMAP mask) {
    auto list = Lookup(handle);
    if (!list)
        return FALSE;
    std::vector<Image> images;
    if (!Split(*list, image, mask, std::nullopt, images) || images.empty())
        return FALSE;
    std::lock_guard guard(list->lock);
    if (index < 0 || static_cast<size_t>(index) >= list->images.size())
        return FALSE;
    list->images[index] = std::move(images[0]);
    return TRUE;
}

int ImageList_ReplaceIcon(HIMAGELIST handle, int index, HICON icon) {
    auto list = Lookup(handle);
    auto source = LookupGdi<Icon>(icon);
    if (!list || !source)
        return -1;
    Image img;
    img.pixels.resize(static_cast<size_t>(list->width) * list->height);
    img.opaque.resize(img.pixels.size());
    Canvas& c = *source->color;
    {
        std::lock_guard guard(c.Lock());
        c.BeginPixels();
        for (int y = 0; y < list->height; ++y)
            for (int x = 0; x < list->width; ++x) {
                // Scaled to the list's size.
                int sx = x * c.Width() / list->width, sy = y * c.Height() / list->height;
                size_t k = static_cast<size_t>(y) * list->width + x;
                img.pixels[k] = c.Pixel(sx, sy);
                img.opaque[k] = source->Opaque(sx, sy) ? 1 : 0;
            }
    }
    std::lock_guard guard(list->lock);
    if (index == -1) {
        list->images.push_back(std::move(img));
        return static_cast<int>(list->images.size()) - 1;
    }
    if (index < 0 || static_cast<size_t>(index) >= list->images.size())
        return -1;
    list->images[index] = std::move(img);
    return index;
}

BOOL ImageList_Remove(HIMAGELIST handle, int index) {
    auto list = Lookup(handle);
    if (!list)
        return FALSE;
    std::lock_guard guard(list->lock);
    if (index == -1) {
        list->images.clear();
        return TRUE;
    }
    if (index < 0 || static_cast<size_t>(index) >= list->images.size())
        return FALSE;
    list->images.erase(list->images.begin() + index);
    return TRUE;
}

int ImageList_GetImageCount(HIMAGELIST handle) {
    auto list = Lookup(handle);
    if (!list)
        return 0;
    std::lock_guard guard(list->lock);
    return static_cast<int>(list->images.size());
}

BOOL ImageList_SetImageCount(HIMAGELIST handle, UINT count) {
    auto list = Lookup(handle);
    if (!list)
        return FALSE;
    std::lock_guard guard(list->lock);
    Image blank;
    blank.pixels.assign(static_cast<size_t>(list->width) * list->height, kBlackPixel);
    blank.opaque.assign(blank.pixels.size(), 1);
    list->images.resize(count, blank);
    return TRUE;
}

BOOL ImageList_GetIconSize(HIMAGELIST handle, int* width, int* height) {
    auto list = Lookup(handle);
    if (!list || !width || !height)
        return FALSE;
    *width = list->width;
    *height = list->height;
    return TRUE;
}

COLORREF ImageList_SetBkColor(HIMAGELIST handle, COLORREF color) {
    auto list = Lookup(handle);
    if (!list)
        return CLR_NONE;
    std::lock_guard guard(list->lock);
    return std::exchange(list->background, color);
}

COLORREF ImageList_GetBkColor(HIMAGELIST handle) {
    auto list = Lookup(handle);
    if (!list)
        return CLR_NONE;
    std::lock_guard guard(list->lock);
    return list->background;
}

BOOL ImageList_Draw(HIMAGELIST list, int index, HDC dc, int x, int y, UINT style) {
    return ImageList_DrawEx(list, index, dc, x, y, 0, 0, CLR_DEFAULT, CLR_DEFAULT, style);
}

BOOL ImageList_DrawEx(HIMAGELIST handle, int index, HDC dc, int x, int y, int width, int height, COLORREF background,
                      COLORREF foreground, UINT style) {
    auto list = Lookup(handle);
    auto d = LookupDC(dc);
    if (!list || !d)
        return FALSE;
    std::lock_guard guard(list->lock);
    if (index < 0 || static_cast<size_t>(index) >= list->images.size())
        return FALSE;
    const Image& img = list->images[index];
    int w = width > 0 ? std::min(width, list->width) : list->width;
    int h = height > 0 ? std::min(height, list->height) : list->height;
    LogGdiCall(*d, "ImageList_Draw", RECT{x, y, x + w, y + h});
    if (background == CLR_DEFAULT)
        background = list->background;
    // Without a mask every pixel is drawn; ILD_TRANSPARENT ignores the background colour.
    bool transparent = list->masked && ((style & ILD_TRANSPARENT) || background == CLR_NONE);
    std::optional<uint32_t> fill;
    if (list->masked && !transparent)
        fill = PixelOf(background);
    uint32_t blend =
        PixelOf(foreground == CLR_DEFAULT || foreground == CLR_NONE ? GetSysColor(COLOR_HIGHLIGHT) : foreground);
    POINT at = d->ToCanvas(x, y);
    Region area(RECT{at.x, at.y, at.x + w, at.y + h});
    Canvas& out = d->Target();
    PixelScope scope(out);
    area.Intersect(d->Visible());
    for (const RECT& r : area.Rects())
        for (int py = r.top; py < r.bottom; ++py)
            for (int px = r.left; px < r.right; ++px) {
                size_t k = static_cast<size_t>(py - at.y) * list->width + (px - at.x);
                bool opaque = !list->masked || img.opaque[k];
                uint32_t p;
                if (style & ILD_MASK) {
                    p = opaque ? kBlackPixel : kWhitePixel;
                } else if (!opaque) {
                    if (!fill)
                        continue;
                    p = *fill;
                } else {
                    p = img.pixels[k];
                    // A selected image shows through a mesh of the blend colour.
                    if ((style & (ILD_BLEND50 | ILD_BLEND25)) && (px + py) % 2 == 0)
                        p = blend;
                }
                out.Row(py)[px] = out.Mono() ? MonoPixel(p) : p;
            }
    return TRUE;
}

HICON ImageList_GetIcon(HIMAGELIST handle, int index, UINT flags) {
    auto list = Lookup(handle);
    if (!list)
        return nullptr;
    std::lock_guard guard(list->lock);
    if (index < 0 || static_cast<size_t>(index) >= list->images.size())
        return nullptr;
    const Image& img = list->images[index];
    auto icon = std::make_shared<Icon>();
    icon->color = std::make_shared<Canvas>(list->width, list->height, false);
    for (int y = 0; y < list->height; ++y)
        std::memcpy(icon->color->Row(y), img.pixels.data() + static_cast<size_t>(y) * list->width,
                    sizeof(uint32_t) * list->width);
    icon->color->EndPixels();
    icon->opaque = list->masked ? img.opaque : std::vector<uint8_t>(img.pixels.size(), 1);
    return reinterpret_cast<HICON>(InsertGdiObject(std::move(icon)));
}

HIMAGELIST ImageList_LoadImageA(HINSTANCE instance, LPCSTR name, int width, int grow, COLORREF mask, UINT type,
                                UINT flags) {
    if (type != IMAGE_BITMAP) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    HBITMAP bitmap = LoadBitmapA(instance, name);
    if (!bitmap)
        return nullptr;
    BITMAP bm{};
    GetObjectA(bitmap, sizeof bm, &bm);
    HIMAGELIST list = ImageList_Create(width, bm.bmHeight, ILC_COLOR32 | (mask != CLR_NONE ? ILC_MASK : 0), 0, grow);
    if (list)
        ImageList_AddMasked(list, bitmap, mask);
    DeleteObject(bitmap);
    return list;
}

size_t win32::ImageListCount() {
    return Lists().Count();
}
