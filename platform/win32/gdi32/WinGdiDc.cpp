// Device contexts: memory, screen and printing DCs, their state, origins and saved states, and printing.
#include <cstdint>
#include <cstring>
#include <strings.h>
#include <utility>

#include "WinGdi.h"
#include "WinHandles.h"
#include "internal/DeviceContext.h"
#include "internal/GdiCallLog.h"
#include "internal/PrintedPages.h"
#include "internal/StockObjects.h"
#include "winerror.h"

using namespace win32::internal;

namespace {

// The screen a display DC stands for, and the page a printer DC draws on: US Letter at 96 dots per inch.
constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 768;
constexpr int kPageWidth = 816;
constexpr int kPageHeight = 1056;

// Runs `change` on the DC's state; `fallback` when the handle names no DC.
template <class Result, class Change> Result WithDC(HDC dc, Result fallback, Change change) {
    auto d = LookupDC(dc);
    return d ? change(*d) : fallback;
}

} // namespace

HDC CreateCompatibleDC(HDC dc) {
    if (dc && !LookupDC(dc))
        return nullptr;
    if (DcCreationFails())
        return nullptr;
    HBITMAP initial = DefaultBitmap();
    auto bitmap = LookupGdi<Bitmap>(reinterpret_cast<HGDIOBJ>(initial));
    auto memory = std::make_shared<DeviceContext>(DcKind::Memory, bitmap->canvas, POINT{0, 0}, RECT{0, 0, 1, 1});
    memory->state.bitmapHandle = initial;
    memory->state.bitmap = bitmap;
    return InsertDC(std::move(memory));
}

HDC CreateDCA(LPCSTR driver, LPCSTR device, LPCSTR output, const void* initData) {
    if (DcCreationFails())
        return nullptr;
    bool display = (driver && strcasecmp(driver, "DISPLAY") == 0) || (!driver && !device);
    int width = display ? kScreenWidth : kPageWidth;
    int height = display ? kScreenHeight : kPageHeight;
    auto canvas = std::make_shared<Canvas>(width, height, false);
    auto dc = std::make_shared<DeviceContext>(display ? DcKind::Display : DcKind::Printer, std::move(canvas),
                                              POINT{0, 0}, RECT{0, 0, width, height});
    return InsertDC(std::move(dc));
}

BOOL DeleteDC(HDC dc) {
    auto d = LookupDC(dc);
    if (!d)
        return FALSE;
    if (d->state.bitmap && d->state.bitmap->selectedInto == dc)
        d->state.bitmap->selectedInto = nullptr;
    for (DcState& s : d->saved)
        if (s.bitmap && s.bitmap->selectedInto == dc)
            s.bitmap->selectedInto = nullptr;
    return RemoveGdiObject(reinterpret_cast<HGDIOBJ>(dc)) ? TRUE : FALSE;
}

int SaveDC(HDC dc) {
    return WithDC(dc, 0, [](DeviceContext& d) {
        d.saved.push_back(d.state);
        return static_cast<int>(d.saved.size());
    });
}

BOOL RestoreDC(HDC dc, int savedDC) {
    return WithDC(dc, FALSE, [&](DeviceContext& d) -> BOOL {
        int depth = static_cast<int>(d.saved.size());
        int index = savedDC < 0 ? depth + savedDC : savedDC - 1; // -1 is the latest
        if (index < 0 || index >= depth)
            return FALSE;
        DcState restored = d.saved[index];
        d.saved.resize(index);
        if (restored.bitmap != d.state.bitmap && restored.bitmap)
            d.Retarget(restored.bitmap->canvas);
        d.state = std::move(restored);
        d.ClipChanged();
        return TRUE;
    });
}

int GetDeviceCaps(HDC dc, int index) {
    return WithDC(dc, 0, [&](DeviceContext& d) {
        Canvas& c = d.Target();
        bool printer = d.Type() == DcKind::Printer;
        switch (index) {
        case HORZRES:
        case PHYSICALWIDTH: return printer || d.Type() == DcKind::Display ? c.Width() : kScreenWidth;
        case VERTRES:
        case PHYSICALHEIGHT: return printer || d.Type() == DcKind::Display ? c.Height() : kScreenHeight;
        case HORZSIZE: return (printer ? c.Width() : kScreenWidth) * 254 / 960;
        case VERTSIZE: return (printer ? c.Height() : kScreenHeight) * 254 / 960;
        case LOGPIXELSX:
        case LOGPIXELSY: return 96;
        case BITSPIXEL: return c.Mono() ? 1 : 32;
        case PLANES: return 1;
        case NUMCOLORS: return -1;
        case RASTERCAPS: return RC_BITBLT | RC_STRETCHBLT;
        default: return 0;
        }
    });
}

COLORREF SetTextColor(HDC dc, COLORREF color) {
    return WithDC(dc, CLR_INVALID,
                  [&](DeviceContext& d) { return std::exchange(d.state.textColor, color & 0xFFFFFF); });
}
COLORREF GetTextColor(HDC dc) {
    return WithDC(dc, CLR_INVALID, [](DeviceContext& d) { return d.state.textColor; });
}
COLORREF SetBkColor(HDC dc, COLORREF color) {
    return WithDC(dc, CLR_INVALID, [&](DeviceContext& d) { return std::exchange(d.state.bkColor, color & 0xFFFFFF); });
}
COLORREF GetBkColor(HDC dc) {
    return WithDC(dc, CLR_INVALID, [](DeviceContext& d) { return d.state.bkColor; });
}
int SetBkMode(HDC dc, int mode) {
    if (mode != TRANSPARENT && mode != OPAQUE)
        return 0;
    return WithDC(dc, 0, [&](DeviceContext& d) { return std::exchange(d.state.bkMode, mode); });
}
int GetBkMode(HDC dc) {
    return WithDC(dc, 0, [](DeviceContext& d) { return d.state.bkMode; });
}
int SetROP2(HDC dc, int mode) {
    if (mode < R2_BLACK || mode > R2_WHITE)
        return 0;
    return WithDC(dc, 0, [&](DeviceContext& d) { return std::exchange(d.state.rop2, mode); });
}
int GetROP2(HDC dc) {
    return WithDC(dc, 0, [](DeviceContext& d) { return d.state.rop2; });
}
UINT SetTextAlign(HDC dc, UINT align) {
    return WithDC(dc, static_cast<UINT>(GDI_ERROR),
                  [&](DeviceContext& d) { return std::exchange(d.state.textAlign, align); });
}
UINT GetTextAlign(HDC dc) {
    return WithDC(dc, static_cast<UINT>(GDI_ERROR), [](DeviceContext& d) { return d.state.textAlign; });
}
int SetStretchBltMode(HDC dc, int mode) {
    return WithDC(dc, 0, [&](DeviceContext& d) { return std::exchange(d.state.stretchMode, mode); });
}

namespace {

BOOL SetPoint(HDC dc, POINT DcState::*field, int x, int y, bool relative, LPPOINT previous) {
    return WithDC(dc, FALSE, [&](DeviceContext& d) {
        POINT& p = d.state.*field;
        if (previous)
            *previous = p;
        p = relative ? POINT{p.x + x, p.y + y} : POINT{x, y};
        return TRUE;
    });
}

BOOL GetPoint(HDC dc, POINT DcState::*field, LPPOINT point) {
    return WithDC(dc, FALSE, [&](DeviceContext& d) {
        if (!point)
            return FALSE;
        *point = d.state.*field;
        return TRUE;
    });
}

} // namespace

BOOL SetViewportOrgEx(HDC dc, int x, int y, LPPOINT previous) {
    return SetPoint(dc, &DcState::viewportOrg, x, y, false, previous);
}
BOOL GetViewportOrgEx(HDC dc, LPPOINT origin) {
    return GetPoint(dc, &DcState::viewportOrg, origin);
}
BOOL OffsetViewportOrgEx(HDC dc, int dx, int dy, LPPOINT previous) {
    return SetPoint(dc, &DcState::viewportOrg, dx, dy, true, previous);
}
BOOL SetWindowOrgEx(HDC dc, int x, int y, LPPOINT previous) {
    return SetPoint(dc, &DcState::windowOrg, x, y, false, previous);
}
BOOL GetWindowOrgEx(HDC dc, LPPOINT origin) {
    return GetPoint(dc, &DcState::windowOrg, origin);
}
BOOL OffsetWindowOrgEx(HDC dc, int dx, int dy, LPPOINT previous) {
    return SetPoint(dc, &DcState::windowOrg, dx, dy, true, previous);
}
BOOL SetBrushOrgEx(HDC dc, int x, int y, LPPOINT previous) {
    return SetPoint(dc, &DcState::brushOrg, x, y, false, previous);
}

BOOL LPtoDP(HDC dc, LPPOINT points, int count) {
    return WithDC(dc, FALSE, [&](DeviceContext& d) {
        if (!points && count > 0)
            return FALSE;
        for (int i = 0; i < count; ++i)
            points[i] = POINT{points[i].x - d.state.windowOrg.x + d.state.viewportOrg.x,
                              points[i].y - d.state.windowOrg.y + d.state.viewportOrg.y};
        return TRUE;
    });
}

BOOL DPtoLP(HDC dc, LPPOINT points, int count) {
    return WithDC(dc, FALSE, [&](DeviceContext& d) {
        if (!points && count > 0)
            return FALSE;
        for (int i = 0; i < count; ++i)
            points[i] = POINT{points[i].x + d.state.windowOrg.x - d.state.viewportOrg.x,
                              points[i].y + d.state.windowOrg.y - d.state.viewportOrg.y};
        return TRUE;
    });
}

// Printing: a printer DC draws each page on its canvas; StartPage clears it, EndPage keeps it as a page.
int StartDocA(HDC dc, const DOCINFOA* info) {
    return WithDC(dc, -1, [&](DeviceContext& d) {
        if (d.Type() != DcKind::Printer || d.docOpen)
            return -1;
        d.docOpen = true;
        static int job = 0;
        return ++job;
    });
}

int StartPage(HDC dc) {
    return WithDC(dc, -1, [](DeviceContext& d) {
        if (!d.docOpen || d.pageOpen)
            return -1;
        d.pageOpen = true;
        std::lock_guard guard(d.Target().Lock());
        d.Target().Fill(kWhitePixel);
        return 1;
    });
}

int EndPage(HDC dc) {
    return WithDC(dc, -1, [&](DeviceContext& d) {
        if (!d.pageOpen)
            return -1;
        d.pageOpen = false;
        LogGdiCall(d, "EndPage", RECT{0, 0, d.Target().Width(), d.Target().Height()});
        std::lock_guard guard(d.Target().Lock());
        KeepPrintedPage(d.Target());
        return 1;
    });
}

int EndDoc(HDC dc) {
    return WithDC(dc, -1, [](DeviceContext& d) {
        if (!d.docOpen)
            return -1;
        d.docOpen = d.pageOpen = false;
        return 1;
    });
}

int AbortDoc(HDC dc) {
    return EndDoc(dc);
}

int MulDiv(int number, int numerator, int denominator) {
    if (denominator == 0)
        return -1;
    long long p = static_cast<long long>(number) * numerator;
    long long d = denominator;
    if (d < 0) {
        p = -p;
        d = -d;
    }
    // Rounded half away from zero, as the platform does.
    long long q = p >= 0 ? (p + d / 2) / d : -((-p + d / 2) / d);
    if (q > INT32_MAX || q < INT32_MIN)
        return -1;
    return static_cast<int>(q);
}
