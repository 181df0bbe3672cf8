// Pictures of windows for tests and the display host: a window's own image, or a top-level window's image
// under its visible descendants' images in z-order, each clipped to its parent's client area. Paint is brought
// up to date first, each window on its own thread, except for CopyPicture, which a display driver calls from a
// thread that must not wait for a window's thread. Locks: UserLock() while the tree is read; the images are
// composed without it (each image has its own lock).
#include <vector>

#include "WinPaint.h"
#include "WinRect.h"
#include "WinUiControl.h"
#include "WinUser.h"
#include "internal/WindowManager.h"
#include "internal/WindowSurface.h"
#include "winerror.h"

using namespace win32::internal;

namespace {

struct Layer {
    std::shared_ptr<WindowSurface> surface;
    POINT at;  // the window's top-left corner in the picture
    RECT clip; // in the picture
};

// The layers of `w`'s visible descendants, bottom first, each clipped to its ancestors' client areas.
void CollectLocked(Window& w, POINT at, RECT clip, std::vector<Layer>& layers) {
    RECT client{at.x + w.client.left, at.y + w.client.top, at.x + w.client.right, at.y + w.client.bottom};
    RECT inside;
    if (!IntersectRect(&inside, &clip, &client))
        return;
    for (auto it = w.children.rbegin(); it != w.children.rend(); ++it) {
        WindowPtr child = FindWindowLocked(*it);
        if (!child || !(child->style & WS_VISIBLE))
            continue;
        POINT childAt{client.left + child->rect.left, client.top + child->rect.top};
        RECT bounds{childAt.x, childAt.y, childAt.x + (child->rect.right - child->rect.left),
                    childAt.y + (child->rect.bottom - child->rect.top)};
        RECT childClip;
        if (!IntersectRect(&childClip, &inside, &bounds))
            continue;
        layers.push_back({SurfaceOfLocked(*child), childAt, childClip});
        CollectLocked(*child, childAt, childClip, layers);
    }
}

WindowPtr UpToDate(HWND hwnd) {
    WindowPtr w = LookupWindow(hwnd);
    if (w)
        RedrawWindow(hwnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    return w;
}

std::shared_ptr<WindowSurface> OwnSurface(HWND hwnd) {
    WindowPtr w = UpToDate(hwnd);
    if (!w)
        return nullptr;
    std::lock_guard guard(UserLock());
    return SurfaceOfLocked(*w);
}

// The top-level window's own image and its descendants' layers, bottom first, as they stand.
bool LayersOf(const Window& top, std::vector<Layer>& layers, RECT& whole) {
    std::lock_guard guard(UserLock());
    if (!FindWindowLocked(top.hwnd))
        return false;
    whole = {0, 0, top.rect.right - top.rect.left, top.rect.bottom - top.rect.top};
    layers.push_back({SurfaceOfLocked(const_cast<Window&>(top)), {0, 0}, whole});
    CollectLocked(const_cast<Window&>(top), {0, 0}, whole, layers);
    return true;
}

std::shared_ptr<WindowSurface> Picture(HWND hwnd) {
    WindowPtr w = LookupWindow(hwnd);
    if (!w)
        return nullptr;
    HWND root;
    {
        std::lock_guard guard(UserLock());
        root = RootOfLocked(*w);
    }
    WindowPtr top = UpToDate(root);
    std::vector<Layer> layers;
    RECT whole;
    if (!top || !LayersOf(*top, layers, whole))
        return nullptr;
    auto picture = CreateWindowSurface(whole.right, whole.bottom);
    for (const Layer& layer : layers)
        ComposeWindowSurface(*picture, *layer.surface, layer.at, layer.clip);
    return picture;
}

} // namespace

namespace win32 {

BOOL SaveWindowPng(HWND hwnd, const char* path) {
    auto surface = OwnSurface(hwnd);
    return surface ? WriteWindowSurfacePng(*surface, path) : FALSE;
}

BOOL SavePicturePng(HWND hwnd, const char* path) {
    auto picture = Picture(hwnd);
    return picture ? WriteWindowSurfacePng(*picture, path) : FALSE;
}

COLORREF PicturePixel(HWND topLevel, int x, int y) {
    auto picture = Picture(topLevel);
    return picture ? WindowSurfacePixel(*picture, x, y) : CLR_INVALID;
}

namespace {

// The parts of `rect` that none of `covering` overlaps, as rectangles that do not overlap each other.
std::vector<RECT> Uncovered(const RECT& rect, const std::vector<RECT>& covering) {
    std::vector<RECT> parts{rect}, next;
    for (const RECT& c : covering) {
        next.clear();
        for (const RECT& p : parts) {
            RECT common;
            if (!IntersectRect(&common, &p, &c)) {
                next.push_back(p);
                continue;
            }
            // What lies above, below, left and right of the common part.
            const RECT pieces[] = {{p.left, p.top, p.right, common.top},
                                   {p.left, common.bottom, p.right, p.bottom},
                                   {p.left, common.top, common.left, common.bottom},
                                   {common.right, common.top, p.right, common.bottom}};
            for (const RECT& piece : pieces)
                if (piece.left < piece.right && piece.top < piece.bottom)
                    next.push_back(piece);
        }
        parts.swap(next);
        if (parts.empty())
            break;
    }
    return parts;
}

} // namespace

BOOL CopyPicture(HWND topLevel, const RECT& area, uint32_t* pixels, int stride) {
    WindowPtr top = LookupWindow(topLevel);
    std::vector<Layer> layers;
    RECT whole;
    if (!top || !pixels)
        return FALSE;
    {
        std::lock_guard guard(UserLock());
        if (top->parent)
            return FALSE;
    }
    if (!LayersOf(*top, layers, whole))
        return FALSE;
    // Every image is opaque and hides what lies under it: composed from the top down, each layer only where no
    // layer above it lies, every pixel of the area is copied once however deep the windows nest (a main window
    // of nested frames, panes and views would otherwise be copied several times over).
    std::vector<RECT> covered;
    for (auto layer = layers.rbegin(); layer != layers.rend(); ++layer) {
        SIZE size;
        {
            std::lock_guard guard(WindowSurfaceLock(*layer->surface));
            size = WindowSurfaceSize(*layer->surface);
        }
        const RECT image{layer->at.x, layer->at.y, layer->at.x + size.cx, layer->at.y + size.cy};
        RECT shown, inArea;
        if (!IntersectRect(&shown, &layer->clip, &image) || !IntersectRect(&inArea, &shown, &area))
            continue;
        for (const RECT& part : Uncovered(inArea, covered))
            ComposeWindowSurfaceInto(*layer->surface, layer->at, part, area, pixels, stride);
        covered.push_back(inArea);
    }
    return TRUE;
}

COLORREF ClientPixel(HWND hwnd, int x, int y) {
    POINT p{x, y};
    HWND root = GetAncestor(hwnd, GA_ROOT);
    if (!root || !ClientToScreen(hwnd, &p))
        return CLR_INVALID;
    RECT rootRect;
    GetWindowRect(root, &rootRect);
    RECT client;
    GetClientRect(hwnd, &client);
    if (x < 0 || y < 0 || x >= client.right || y >= client.bottom)
        return CLR_INVALID;
    return PicturePixel(root, p.x - rootRect.left, p.y - rootRect.top);
}

} // namespace win32
