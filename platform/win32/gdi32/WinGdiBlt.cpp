// Bitmaps and bit-block transfers, done on pixels. Between a monochrome and a colour canvas the platform's rules
// hold: a monochrome source's black pixels take the target DC's text colour and its white ones the target's
// background colour; a colour source's pixels of the source DC's background colour become white on a
// monochrome target and all others black.
#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "WinGdi.h"
#include "WinHandles.h"
#include "internal/GdiCallLog.h"
#include "internal/Raster.h"
#include "winerror.h"

using namespace win32::internal;

namespace {

HBITMAP InsertBitmap(std::shared_ptr<Canvas> canvas) {
    auto bitmap = std::make_shared<Bitmap>();
    bitmap->canvas = std::move(canvas);
    return reinterpret_cast<HBITMAP>(InsertGdiObject(bitmap));
}

// Locks one canvas, or two distinct ones without risk of deadlock.
class CanvasLocks {
public:
    CanvasLocks(Canvas& a, Canvas* b) {
        if (b && b != &a) {
            pair_.emplace(a.Lock(), b->Lock());
        } else {
            one_.emplace(a.Lock());
        }
    }

private:
    std::optional<std::scoped_lock<std::mutex, std::mutex>> pair_;
    std::optional<std::lock_guard<std::mutex>> one_;
};

// The source pixels a transfer reads, copied first so a DC can copy onto itself (scrolling): the part of the
// source rectangle (width x height) that lies on the source canvas, at `inside` within the rectangle.
struct SourceBlock {
    int width = 0, height = 0;
    RECT inside{};
    std::vector<uint32_t> pixels;
    bool Present(int x, int y) const {
        return x >= inside.left && x < inside.right && y >= inside.top && y < inside.bottom;
    }
    uint32_t At(int x, int y) const {
        return pixels[static_cast<size_t>(y - inside.top) * (inside.right - inside.left) + (x - inside.left)];
    }
};

SourceBlock ReadSource(Canvas& canvas, const RECT& r) {
    SourceBlock block;
    block.width = r.right - r.left;
    block.height = r.bottom - r.top;
    RECT on{std::max<LONG>(r.left, 0), std::max<LONG>(r.top, 0), std::min<LONG>(r.right, canvas.Width()),
            std::min<LONG>(r.bottom, canvas.Height())};
    if (on.right <= on.left || on.bottom <= on.top)
        return block;
    block.inside = RECT{on.left - r.left, on.top - r.top, on.right - r.left, on.bottom - r.top};
    block.pixels.reserve(static_cast<size_t>(on.right - on.left) * (on.bottom - on.top));
    canvas.BeginPixels();
    for (int y = on.top; y < on.bottom; ++y)
        block.pixels.insert(block.pixels.end(), canvas.Row(y) + on.left, canvas.Row(y) + on.right);
    for (uint32_t& p : block.pixels)
        p &= 0xFFFFFF;
    return block;
}

// One transfer: target rectangle (canvas coordinates, normalized), source rectangle (canvas coordinates,
// normalized) and whether the picture is mirrored along each axis.
BOOL Transfer(DeviceContext& target, RECT to, DeviceContext* source, RECT from, bool mirrorX, bool mirrorY, DWORD rop) {
    Canvas& out = target.Target();
    Canvas* in = source ? &source->Target() : nullptr;
    int w = to.right - to.left, h = to.bottom - to.top;
    if (w <= 0 || h <= 0)
        return TRUE;
    CanvasLocks locks(out, in);
    SourceBlock block;
    bool monoToColor = false, colorToMono = false;
    uint32_t sourceBk = 0;
    if (in) {
        block = ReadSource(*in, from);
        monoToColor = in->Mono() && !out.Mono();
        colorToMono = !in->Mono() && out.Mono();
        sourceBk = PixelOf(source->state.bkColor);
    }
    uint32_t textPixel = PixelOf(target.state.textColor), bkPixel = PixelOf(target.state.bkColor);
    const Brush* brush = target.state.brush.get();
    bool usesPattern = RopUsesPattern(rop);
    Region area(to);
    area.Intersect(target.Visible());
    out.BeginPixels();
    // A colour copy at the same size (an off-screen buffer brought to its window) moves whole rows.
    if (in && rop == SRCCOPY && block.width == w && block.height == h && !mirrorX && !mirrorY && !in->Mono() &&
        !out.Mono()) {
        const int blockRow = block.inside.right - block.inside.left;
        for (const RECT& r : area.Rects()) {
            const int left = std::max<int>(r.left, to.left + block.inside.left);
            const int right = std::min<int>(r.right, to.left + block.inside.right);
            const int top = std::max<int>(r.top, to.top + block.inside.top);
            const int bottom = std::min<int>(r.bottom, to.top + block.inside.bottom);
            for (int y = top; y < bottom && left < right; ++y) {
                const size_t at = static_cast<size_t>(y - to.top - block.inside.top) * blockRow +
                                  static_cast<size_t>(left - to.left - block.inside.left);
                std::memcpy(out.Row(y) + left, block.pixels.data() + at, sizeof(uint32_t) * (right - left));
            }
        }
        out.EndPixels();
        return TRUE;
    }
    for (const RECT& r : area.Rects()) {
        for (int y = r.top; y < r.bottom; ++y) {
            uint32_t* row = out.Row(y);
            for (int x = r.left; x < r.right; ++x) {
                uint32_t s = 0;
                if (in) {
                    int i = x - to.left, j = y - to.top;
                    int si = static_cast<int>((static_cast<long long>(2 * i + 1) * block.width) / (2 * w));
                    int sj = static_cast<int>((static_cast<long long>(2 * j + 1) * block.height) / (2 * h));
                    if (mirrorX)
                        si = block.width - 1 - si;
                    if (mirrorY)
                        sj = block.height - 1 - sj;
                    if (!block.Present(si, sj))
                        continue;
                    s = block.At(si, sj);
                    if (monoToColor)
                        s = s == kWhitePixel ? bkPixel : textPixel;
                    else if (colorToMono)
                        s = s == sourceBk ? kWhitePixel : kBlackPixel;
                }
                uint32_t p = 0;
                if (usesPattern) {
                    std::optional<uint32_t> b = brush ? BrushPixel(target, *brush, x, y) : std::nullopt;
                    if (!b)
                        continue;
                    p = *b;
                }
                uint32_t result = Rop3(p, s, row[x] & 0xFFFFFF, rop);
                row[x] = out.Mono() ? MonoPixel(result) : result;
            }
        }
    }
    out.EndPixels();
    return TRUE;
}

// A negative extent runs leftwards or upwards from the pixel at `at`: (x, -w) covers x - w + 1 to x.
RECT FromOriginSize(POINT at, int width, int height) {
    auto span = [](LONG from, int extent, LONG& low, LONG& high) {
        long long a = extent < 0 ? static_cast<long long>(from) + extent + 1 : from;
        long long b = extent < 0 ? static_cast<long long>(from) + 1 : static_cast<long long>(from) + extent;
        low = ClampCoordinate(a);
        high = ClampCoordinate(b);
    };
    RECT r;
    span(at.x, width, r.left, r.right);
    span(at.y, height, r.top, r.bottom);
    return r;
}

} // namespace

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits) {
    if (width > kLargestCanvas || height > kLargestCanvas) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (width <= 0 || height <= 0 || planes != 1 || (bitsPerPixel != 1 && bitsPerPixel != 32)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    bool mono = bitsPerPixel == 1;
    auto canvas = std::make_shared<Canvas>(width, height, mono);
    canvas->Fill(kBlackPixel);
    if (bits) {
        const auto* bytes = static_cast<const unsigned char*>(bits);
        size_t rowBytes = mono ? ((width + 15) / 16) * 2 : static_cast<size_t>(width) * 4;
        for (int y = 0; y < height; ++y) {
            const unsigned char* row = bytes + rowBytes * y;
            uint32_t* out = canvas->Row(y);
            for (int x = 0; x < width; ++x) {
                if (mono) {
                    out[x] = (row[x / 8] & (0x80 >> (x % 8))) ? kWhitePixel : kBlackPixel;
                } else {
                    uint32_t p;
                    std::memcpy(&p, row + 4 * x, 4);
                    out[x] = p & 0xFFFFFF;
                }
            }
        }
        canvas->EndPixels();
    }
    return InsertBitmap(std::move(canvas));
}

HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height) {
    auto d = LookupDC(dc);
    if (!d)
        return nullptr;
    if (width < 0 || height < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (width > kLargestCanvas || height > kLargestCanvas) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    // Compatible with what the DC draws on: a memory DC still holding its first bitmap is monochrome.
    bool mono = d->Type() == DcKind::Memory && d->Target().Mono();
    auto canvas = std::make_shared<Canvas>(width, height, mono);
    canvas->Fill(kBlackPixel);
    return InsertBitmap(std::move(canvas));
}

LONG GetBitmapBits(HBITMAP bitmap, LONG size, LPVOID bits) {
    auto b = LookupGdi<Bitmap>(bitmap);
    if (!b || size < 0 || (!bits && size > 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    Canvas& c = *b->canvas;
    std::lock_guard guard(c.Lock());
    c.BeginPixels();
    size_t rowBytes = c.Mono() ? ((c.Width() + 15) / 16) * 2 : static_cast<size_t>(c.Width()) * 4;
    std::vector<unsigned char> all(rowBytes * c.Height(), 0);
    for (int y = 0; y < c.Height(); ++y) {
        unsigned char* row = all.data() + rowBytes * y;
        for (int x = 0; x < c.Width(); ++x) {
            uint32_t p = c.Pixel(x, y);
            if (c.Mono()) {
                if (p == kWhitePixel)
                    row[x / 8] |= static_cast<unsigned char>(0x80 >> (x % 8));
            } else {
                std::memcpy(row + 4 * x, &p, 4);
            }
        }
    }
    size_t n = std::min(all.size(), static_cast<size_t>(size));
    if (n)
        std::memcpy(bits, all.data(), n);
    return static_cast<LONG>(n);
}

BOOL BitBlt(HDC target, int x, int y, int width, int height, HDC source, int sourceX, int sourceY, DWORD rop) {
    return StretchBlt(target, x, y, width, height, source, sourceX, sourceY, width, height, rop);
}

BOOL StretchBlt(HDC target, int x, int y, int width, int height, HDC source, int sourceX, int sourceY, int sourceWidth,
                int sourceHeight, DWORD rop) {
    auto t = LookupDC(target);
    if (!t)
        return FALSE;
    std::shared_ptr<DeviceContext> s;
    if (RopUsesSource(rop)) {
        s = LookupDC(source);
        if (!s)
            return FALSE;
    }
    bool stretched = width != sourceWidth || height != sourceHeight;
    LogGdiCall(*t, stretched ? "StretchBlt" : "BitBlt", FromOriginSize(POINT{x, y}, width, height), rop);
    RECT to = FromOriginSize(t->ToCanvas(x, y), width, height);
    RECT from{};
    if (s)
        from = FromOriginSize(s->ToCanvas(sourceX, sourceY), sourceWidth, sourceHeight);
    if (s && (from.right <= from.left || from.bottom <= from.top))
        return TRUE;
    bool mirrorX = (width < 0) != (sourceWidth < 0);
    bool mirrorY = (height < 0) != (sourceHeight < 0);
    return Transfer(*t, to, s.get(), from, s && mirrorX, s && mirrorY, rop);
}
