// Regions and the clip region of a DC (device coordinates).
#include "WinGdi.h"
#include "WinHandles.h"
#include "internal/GdiCallLog.h"
#include "internal/Raster.h"
#include "winerror.h"

using namespace win32::internal;

namespace {

std::shared_ptr<RegionObject> LookupRegion(HRGN region) {
    auto r = LookupGdi<RegionObject>(reinterpret_cast<HGDIOBJ>(region));
    if (!r)
        SetLastError(ERROR_INVALID_HANDLE);
    return r;
}

RECT DeviceRect(const DeviceContext& d, int left, int top, int right, int bottom) {
    POINT a{left - d.state.windowOrg.x + d.state.viewportOrg.x, top - d.state.windowOrg.y + d.state.viewportOrg.y};
    POINT b{right - d.state.windowOrg.x + d.state.viewportOrg.x, bottom - d.state.windowOrg.y + d.state.viewportOrg.y};
    return RECT{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}

// The DC's clip as it stands: its clip region, or everything it can draw on.
Region CurrentClip(const DeviceContext& d) {
    return d.state.clip ? *d.state.clip : Region(d.DeviceBounds());
}

int ClipComplexity(DeviceContext& d) {
    d.ClipChanged();
    return d.state.clip ? d.state.clip->Complexity() : SIMPLEREGION;
}

} // namespace

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
    auto region = std::make_shared<RegionObject>();
    region->region =
        Region(RECT{std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)});
    return reinterpret_cast<HRGN>(InsertGdiObject(region));
}

HRGN CreateRectRgnIndirect(const RECT* rect) {
    if (!rect) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom);
}

int CombineRgn(HRGN target, HRGN first, HRGN second, int mode) {
    auto t = LookupRegion(target);
    auto a = LookupRegion(first);
    auto b = mode == RGN_COPY ? a : LookupRegion(second);
    if (!t || !a || !b)
        return ERROR;
    Region result = a->region;
    switch (mode) {
    case RGN_AND: result.Intersect(b->region); break;
    case RGN_OR: result.Unite(b->region); break;
    case RGN_XOR: result.Xor(b->region); break;
    case RGN_DIFF: result.Subtract(b->region); break;
    case RGN_COPY: break;
    default: SetLastError(ERROR_INVALID_PARAMETER); return ERROR;
    }
    t->region = result;
    return result.Complexity();
}

BOOL SetRectRgn(HRGN region, int left, int top, int right, int bottom) {
    auto r = LookupRegion(region);
    if (!r)
        return FALSE;
    r->region =
        Region(RECT{std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)});
    return TRUE;
}

int OffsetRgn(HRGN region, int dx, int dy) {
    auto r = LookupRegion(region);
    if (!r)
        return ERROR;
    r->region.Offset(dx, dy);
    return r->region.Complexity();
}

int GetRgnBox(HRGN region, LPRECT rect) {
    auto r = LookupRegion(region);
    if (!r || !rect)
        return ERROR;
    *rect = r->region.Box();
    return r->region.Complexity();
}

BOOL PtInRegion(HRGN region, int x, int y) {
    auto r = LookupRegion(region);
    return r && r->region.Contains(x, y);
}

BOOL EqualRgn(HRGN first, HRGN second) {
    auto a = LookupRegion(first);
    auto b = LookupRegion(second);
    return a && b && a->region == b->region;
}

BOOL FillRgn(HDC dc, HRGN region, HBRUSH brush) {
    auto d = LookupDC(dc);
    auto r = LookupRegion(region);
    auto b = LookupGdi<Brush>(reinterpret_cast<HGDIOBJ>(brush));
    if (!d || !r || !b)
        return FALSE;
    Region area = r->region;
    area.Offset(d->Origin().x, d->Origin().y);
    LogGdiCall(*d, "FillRgn", r->region.Box(), PATCOPY);
    PixelScope scope(d->Target());
    PaintRegion(*d, area, *b, PATCOPY);
    return TRUE;
}

int SelectClipRgn(HDC dc, HRGN region) {
    return ExtSelectClipRgn(dc, region, RGN_COPY);
}

int ExtSelectClipRgn(HDC dc, HRGN region, int mode) {
    auto d = LookupDC(dc);
    if (!d)
        return ERROR;
    if (!region) {
        if (mode != RGN_COPY) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return ERROR;
        }
        d->state.clip.reset();
        return ClipComplexity(*d);
    }
    auto r = LookupRegion(region);
    if (!r)
        return ERROR;
    Region clip = mode == RGN_COPY ? r->region : CurrentClip(*d);
    switch (mode) {
    case RGN_COPY: break;
    case RGN_AND: clip.Intersect(r->region); break;
    case RGN_OR: clip.Unite(r->region); break;
    case RGN_XOR: clip.Xor(r->region); break;
    case RGN_DIFF: clip.Subtract(r->region); break;
    default: SetLastError(ERROR_INVALID_PARAMETER); return ERROR;
    }
    d->state.clip = clip;
    return ClipComplexity(*d);
}

int GetClipRgn(HDC dc, HRGN region) {
    auto d = LookupDC(dc);
    auto r = LookupRegion(region);
    if (!d || !r)
        return -1;
    if (!d->state.clip)
        return 0;
    r->region = *d->state.clip;
    return 1;
}

int IntersectClipRect(HDC dc, int left, int top, int right, int bottom) {
    auto d = LookupDC(dc);
    if (!d)
        return ERROR;
    Region clip = CurrentClip(*d);
    clip.Intersect(DeviceRect(*d, left, top, right, bottom));
    d->state.clip = clip;
    return ClipComplexity(*d);
}

int ExcludeClipRect(HDC dc, int left, int top, int right, int bottom) {
    auto d = LookupDC(dc);
    if (!d)
        return ERROR;
    Region clip = CurrentClip(*d);
    clip.Subtract(Region(DeviceRect(*d, left, top, right, bottom)));
    d->state.clip = clip;
    return ClipComplexity(*d);
}

int GetClipBox(HDC dc, LPRECT rect) {
    auto d = LookupDC(dc);
    if (!d || !rect)
        return ERROR;
    std::lock_guard guard(d->Target().Lock());
    const Region& visible = d->Visible();
    RECT box = visible.Box();
    POINT a = d->FromCanvas(box.left, box.top);
    POINT b = d->FromCanvas(box.right, box.bottom);
    *rect = visible.Empty() ? RECT{} : RECT{a.x, a.y, b.x, b.y};
    return visible.Complexity();
}

BOOL PtVisible(HDC dc, int x, int y) {
    auto d = LookupDC(dc);
    if (!d)
        return FALSE;
    POINT p = d->ToCanvas(x, y);
    std::lock_guard guard(d->Target().Lock());
    return d->Visible().Contains(p.x, p.y);
}

BOOL RectVisible(HDC dc, const RECT* rect) {
    auto d = LookupDC(dc);
    if (!d || !rect)
        return FALSE;
    Region area(d->ToCanvas(*rect));
    std::lock_guard guard(d->Target().Lock());
    area.Intersect(d->Visible());
    return !area.Empty();
}
