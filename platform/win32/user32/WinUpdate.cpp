// What is left to paint in each window, and when WM_PAINT comes. Locks: UserLock() around the windows'
// update state; painting itself (the procedures) runs without it.
#include <algorithm>
#include <functional>

#include "WinPaint.h"
#include "WinRect.h"
#include "WinThreads.h"
#include "WinUser.h"
#include "internal/WindowManager.h"
#include "winerror.h"

using namespace win32::internal;

namespace {

bool IsEmpty(const RECT& r) {
    return IsRectEmpty(&r) != FALSE;
}

RECT Intersect(const RECT& a, const RECT& b) {
    RECT r;
    IntersectRect(&r, &a, &b);
    return r;
}

RECT ClientBounds(const Window& w) {
    return {0, 0, w.client.right - w.client.left, w.client.bottom - w.client.top};
}

bool HasPaintLocked(const Window& w) {
    return !IsEmpty(w.update) || w.frame || w.internalPaint;
}

// The part of `update` that `valid` leaves: exact when the rest is one rectangle, else unchanged (the update
// area is one rectangle; painting a little more than needed is harmless).
RECT Subtract(const RECT& update, const RECT& valid) {
    RECT rest;
    return SubtractRect(&rest, &update, &valid) ? rest : RECT{};
}

void ChangeLocked(Window& w, const RECT* rect, UINT flags) {
    RECT bounds = ClientBounds(w);
    RECT area = rect ? Intersect(*rect, bounds) : bounds;
    if (flags & RDW_INVALIDATE) {
        if (!w.redraw)
            return;
        UnionRect(&w.update, &w.update, &area);
        if (flags & RDW_ERASE)
            w.erase = true;
        if (flags & RDW_FRAME)
            w.frame = true;
    }
    if (flags & RDW_INTERNALPAINT)
        w.internalPaint = true;
    if (flags & RDW_VALIDATE) {
        w.update = rect ? Subtract(w.update, area) : RECT{};
        if (flags & RDW_NOERASE)
            w.erase = false;
        if (flags & RDW_NOFRAME)
            w.frame = false;
        if (IsEmpty(w.update))
            w.erase = false;
    }
    if (flags & RDW_NOINTERNALPAINT)
        w.internalPaint = false;
}

void ChangeTreeLocked(Window& w, const RECT* rect, UINT flags) {
    ChangeLocked(w, rect, flags);
    if (!(flags & RDW_ALLCHILDREN))
        return;
    for (HWND hwnd : w.children) {
        WindowPtr child = FindWindowLocked(hwnd);
        if (!child)
            continue;
        if (rect) {
            RECT mapped{rect->left - child->rect.left - child->client.left,
                        rect->top - child->rect.top - child->client.top,
                        rect->right - child->rect.left - child->client.left,
                        rect->bottom - child->rect.top - child->client.top};
            ChangeTreeLocked(*child, &mapped, flags);
        } else {
            ChangeTreeLocked(*child, nullptr, flags);
        }
    }
}

// Sends the paint messages a window has due now, on its own thread.
void PaintNow(const WindowPtr& w) {
    bool update, frame;
    {
        std::lock_guard guard(UserLock());
        if (!IsVisibleLocked(*w) || !w->redraw)
            return;
        update = !IsEmpty(w->update) || w->internalPaint;
        frame = w->frame;
    }
    if (update) {
        unsigned paints;
        {
            std::lock_guard guard(UserLock());
            paints = w->paints;
        }
        SendToWindow(w, WM_PAINT, 0, 0);
        std::lock_guard guard(UserLock());
        if (w->paints == paints) { // it never began painting: what it left is taken as done
            w->update = {};
            w->erase = w->frame = w->internalPaint = false;
        }
    } else if (frame) {
        {
            std::lock_guard guard(UserLock());
            w->frame = false;
        }
        SendToWindow(w, WM_NCPAINT, 1, 0);
    }
}

void UpdateTreeNow(HWND hwnd, bool children) {
    WindowPtr w = LookupWindow(hwnd);
    if (!w)
        return;
    if (w->thread != GetCurrentThreadId()) {
        std::function<void()> run = [&] { UpdateTreeNow(hwnd, children); };
        SendToWindow(w, kRunOnThreadMessage, 0, reinterpret_cast<LPARAM>(&run));
        return;
    }
    PaintNow(w);
    if (!children)
        return;
    std::vector<HWND> list;
    {
        std::lock_guard guard(UserLock());
        list = w->children;
    }
    for (HWND child : list)
        UpdateTreeNow(child, true);
}

HWND FindInTreeLocked(const Window& w, DWORD thread, HWND filter) {
    if (!(w.style & WS_VISIBLE) || !w.redraw)
        return nullptr;
    if (w.thread == thread && HasPaintLocked(w) && MatchesFilterLocked(w.hwnd, filter))
        return w.hwnd;
    for (HWND hwnd : w.children)
        if (WindowPtr child = FindWindowLocked(hwnd))
            if (HWND found = FindInTreeLocked(*child, thread, filter))
                return found;
    return nullptr;
}

} // namespace

namespace win32::internal {

HWND FindPaintLocked(const ThreadQueue& queue, HWND filter) {
    for (HWND hwnd : TopLevelWindowsLocked())
        if (WindowPtr w = FindWindowLocked(hwnd))
            if (HWND found = FindInTreeLocked(*w, queue.thread, filter))
                return found;
    return nullptr;
}

} // namespace win32::internal

BOOL RedrawWindow(HWND hwnd, const RECT* update, HRGN, UINT flags) {
    std::vector<HWND> targets;
    if (!hwnd) {
        std::lock_guard guard(UserLock());
        targets = TopLevelWindowsLocked();
        flags |= RDW_ALLCHILDREN;
        update = nullptr;
    } else {
        if (!LookupWindow(hwnd))
            return FALSE;
        targets.push_back(hwnd);
    }
    {
        std::lock_guard guard(UserLock());
        for (HWND target : targets)
            if (WindowPtr w = FindWindowLocked(target))
                ChangeTreeLocked(*w, update, flags);
    }
    NotifyUser();
    if (flags & (RDW_UPDATENOW | RDW_ERASENOW))
        for (HWND target : targets)
            UpdateTreeNow(target, !(flags & RDW_NOCHILDREN));
    return TRUE;
}

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
    return RedrawWindow(hwnd, rect, nullptr, RDW_INVALIDATE | (erase ? RDW_ERASE : 0));
}

BOOL ValidateRect(HWND hwnd, const RECT* rect) {
    return RedrawWindow(hwnd, rect, nullptr, RDW_VALIDATE | (rect ? 0 : RDW_NOFRAME | RDW_NOINTERNALPAINT));
}

BOOL GetUpdateRect(HWND hwnd, LPRECT rect, BOOL) {
    WindowPtr w = LookupWindow(hwnd);
    if (!w)
        return FALSE;
    std::lock_guard guard(UserLock());
    if (rect)
        *rect = w->update;
    return !IsEmpty(w->update);
}

BOOL UpdateWindow(HWND hwnd) {
    return RedrawWindow(hwnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}
