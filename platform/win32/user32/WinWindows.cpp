// Creating and destroying windows, the window tree, window longs and texts. Locks: UserLock() around the
// manager's state, never while a window procedure runs.
#include <algorithm>
#include <cstring>

#include "WinDialogs.h"
#include "WinHooks.h"
#include "WinInput.h"
#include "WinMenus.h"
#include "WinPaint.h"
#include "WinSystemInfo.h"
#include "WinThreads.h"
#include "WinUser.h"
#include "internal/DeviceChanges.h"
#include "internal/Hooks.h"
#include "internal/UiFailures.h"
#include "internal/WindowEvents.h"
#include "internal/WindowManager.h"
#include "winerror.h"

using namespace win32::internal;

namespace {

// Where CW_USEDEFAULT puts an overlapped window, and how big it makes it.
constexpr int kDefaultLeft = 26;
constexpr int kDefaultTop = 26;

bool HasFrameForMinMax(DWORD style) {
    return !(style & WS_CHILD) && (style & (WS_THICKFRAME | WS_CAPTION));
}

void NotifyParents(const WindowPtr& window, UINT event) {
    if (!(window->style & WS_CHILD) || (window->exStyle & WS_EX_NOPARENTNOTIFY))
        return;
    WindowPtr parent = LookupWindow(window->parent);
    if (parent)
        SendToWindow(parent, WM_PARENTNOTIFY, MAKEWPARAM(event, static_cast<WORD>(window->id)),
                     reinterpret_cast<LPARAM>(window->hwnd));
}

// WM_DESTROY goes to the window first, then to its children.
void SendDestroy(const WindowPtr& window) {
    SendToWindow(window, WM_DESTROY, 0, 0);
    std::vector<HWND> children;
    {
        std::lock_guard guard(UserLock());
        children = window->children;
    }
    for (HWND child : children)
        if (WindowPtr w = LookupWindow(child))
            SendDestroy(w);
}

// WM_NCDESTROY goes to the children first; each handle dies after its WM_NCDESTROY.
void FreeWindow(const WindowPtr& window) {
    std::vector<HWND> children;
    {
        std::lock_guard guard(UserLock());
        children = window->children;
    }
    for (HWND child : children) {
        WindowPtr w;
        {
            std::lock_guard guard(UserLock());
            w = FindWindowLocked(child);
        }
        if (w)
            FreeWindow(w);
    }
    bool own = window->thread == GetCurrentThreadId();
    if (own)
        SendToWindow(window, WM_NCDESTROY, 0, 0);
    HMENU menu;
    {
        std::lock_guard guard(UserLock());
        menu = (window->style & WS_CHILD) ? nullptr : window->menu;
        window->menu = nullptr;
        UnlinkWindowLocked(*window);
        RemoveWindowLocked(*window);
    }
    NotifyUser();
    // A window's menu bar goes with it.
    if (menu && IsMenu(menu))
        DestroyMenu(menu);
}

HWND FirstActivatable(HWND except) {
    std::lock_guard guard(UserLock());
    DWORD thread = GetCurrentThreadId();
    for (HWND hwnd : TopLevelWindowsLocked()) {
        WindowPtr w = FindWindowLocked(hwnd);
        if (w && hwnd != except && w->thread == thread && (w->style & WS_VISIBLE) && !(w->style & WS_DISABLED))
            return hwnd;
    }
    return nullptr;
}

} // namespace

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
    std::shared_ptr<WindowClass> cls;
    for (int attempt = 0; !cls && attempt < 2; ++attempt) {
        // The system's own classes ("STATIC", "BUTTON", the common controls) exist before any program
        // registers a class; they are registered on first use.
        if (attempt == 1)
            win32::RegisterDialogClasses();
        std::lock_guard guard(UserLock());
        cls = FindClassLocked(className);
    }
    if (!cls) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    if (ShouldFailUiCall(win32::UiFailure::CreateWindow)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (parent == HWND_MESSAGE)
        parent = nullptr;
    else if ((style & WS_CHILD) == 0)
        ListenForDeviceChanges(); // a top-level window hears when device nodes change
    HWND owner = nullptr;
    if (style & WS_CHILD) {
        if (!parent) {
            SetLastError(ERROR_TLW_WITH_WSCHILD);
            return nullptr;
        }
        if (!LookupWindow(parent))
            return nullptr;
    } else if (parent) {
        WindowPtr p = LookupWindow(parent);
        if (!p)
            return nullptr;
        std::lock_guard guard(UserLock());
        owner = RootOfLocked(*p);
        parent = nullptr;
    }

    const bool overlapped = !(style & (WS_CHILD | WS_POPUP));
    if (overlapped)
        style |= WS_CLIPSIBLINGS | WS_CAPTION;
    if (x == CW_USEDEFAULT) {
        x = overlapped ? kDefaultLeft : 0;
        y = overlapped ? kDefaultTop : 0;
    }
    if (width == CW_USEDEFAULT) {
        width = overlapped ? GetSystemMetrics(SM_CXSCREEN) * 3 / 4 : 0;
        height = overlapped ? GetSystemMetrics(SM_CYSCREEN) * 3 / 4 : 0;
    }
    auto window = std::make_shared<Window>();
    window->cls = cls;
    window->queue = CurrentQueue();
    window->thread = GetCurrentThreadId();
    window->style = style & ~WS_VISIBLE;
    window->exStyle = exStyle;
    window->text = windowName ? windowName : "";
    window->owner = owner;
    window->proc = cls->proc;
    window->instance = instance;
    if (style & WS_CHILD)
        window->id = reinterpret_cast<LONG_PTR>(menu);
    else
        window->menu = menu;
    window->rect = {x, y, x + std::max(width, 0), y + std::max(height, 0)};
    window->normal = window->rect;
    window->extra.assign(static_cast<size_t>(cls->windowExtra), 0);
    window->update = {0, 0, std::max(width, 0), std::max(height, 0)};
    window->erase = window->frame = true;
    HWND hwnd;
    {
        std::lock_guard guard(UserLock());
        hwnd = InsertWindowLocked(window);
        if (!hwnd) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        ++cls->windows;
        LinkWindowLocked(*window, parent, parent ? HWND_BOTTOM : HWND_TOP);
    }

    CREATESTRUCTA cs{param,
                     instance,
                     menu,
                     (style & WS_CHILD) ? parent : owner,
                     static_cast<int>(window->rect.bottom - window->rect.top),
                     static_cast<int>(window->rect.right - window->rect.left),
                     static_cast<int>(window->rect.top),
                     static_cast<int>(window->rect.left),
                     static_cast<LONG>(style),
                     windowName,
                     className,
                     exStyle};
    // A computer-based-training hook sees the window before its first message, and may refuse it.
    CBT_CREATEWNDA cbt{&cs, (style & WS_CHILD) ? HWND_BOTTOM : HWND_TOP};
    if (CallHooks(WH_CBT, HCBT_CREATEWND, reinterpret_cast<WPARAM>(hwnd), reinterpret_cast<LPARAM>(&cbt))) {
        std::lock_guard guard(UserLock());
        UnlinkWindowLocked(*window);
        RemoveWindowLocked(*window);
        return nullptr;
    }
    if (HasFrameForMinMax(window->style)) {
        MINMAXINFO info{};
        info.ptMinTrackSize = {GetSystemMetrics(SM_CXMINTRACK), GetSystemMetrics(SM_CYMINTRACK)};
        info.ptMaxTrackSize = {GetSystemMetrics(SM_CXMAXTRACK), GetSystemMetrics(SM_CYMAXTRACK)};
        info.ptMaxSize = {GetSystemMetrics(SM_CXMAXIMIZED), GetSystemMetrics(SM_CYMAXIMIZED)};
        SendToWindow(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
        std::lock_guard guard(UserLock());
        RECT& r = window->rect;
        r.right = r.left + std::clamp<LONG>(r.right - r.left, info.ptMinTrackSize.x,
                                            std::max(info.ptMinTrackSize.x, info.ptMaxTrackSize.x));
        r.bottom = r.top + std::clamp<LONG>(r.bottom - r.top, info.ptMinTrackSize.y,
                                            std::max(info.ptMinTrackSize.y, info.ptMaxTrackSize.y));
        window->normal = r;
        cs.cx = static_cast<int>(r.right - r.left);
        cs.cy = static_cast<int>(r.bottom - r.top);
    }

    if (!SendToWindow(window, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) {
        FreeWindow(window);
        return nullptr;
    }
    RECT rect;
    {
        std::lock_guard guard(UserLock());
        rect = window->rect;
    }
    SendToWindow(window, WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&rect));
    {
        std::lock_guard guard(UserLock());
        window->client = {rect.left - window->rect.left, rect.top - window->rect.top, rect.right - window->rect.left,
                          rect.bottom - window->rect.top};
        window->update = {0, 0, window->client.right - window->client.left, window->client.bottom - window->client.top};
    }
    if (SendToWindow(window, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    if (!IsWindow(hwnd))
        return nullptr; // destroyed by its own WM_CREATE
    {
        std::lock_guard guard(UserLock());
        window->created = true;
    }
    RECT client;
    GetClientRect(hwnd, &client);
    SendToWindow(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
    POINT origin{0, 0};
    MapWindowPoints(hwnd, (style & WS_CHILD) ? parent : nullptr, &origin, 1);
    SendToWindow(window, WM_MOVE, 0, MAKELPARAM(origin.x, origin.y));
    NotifyParents(window, WM_CREATE);
    if (!IsWindow(hwnd))
        return nullptr;
    if (style & WS_VISIBLE)
        ShowWindow(hwnd, (style & WS_MAXIMIZE) ? SW_SHOWMAXIMIZED : (style & WS_CHILD) ? SW_SHOWNA : SW_SHOW);
    if (!IsWindow(hwnd))
        return nullptr;
    return hwnd;
}

BOOL DestroyWindow(HWND hwnd) {
    WindowPtr window = LookupWindow(hwnd);
    if (!window || window.get() == nullptr)
        return FALSE;
    if (window->thread != GetCurrentThreadId()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (CallHooks(WH_CBT, HCBT_DESTROYWND, reinterpret_cast<WPARAM>(hwnd), 0))
        return FALSE;
    bool topLevel;
    bool wasActive;
    {
        std::lock_guard guard(UserLock());
        if (window->destroying)
            return TRUE;
        window->destroying = true;
        topLevel = !window->parent;
        wasActive = window->queue && window->queue->active == hwnd;
    }
    NotifyParents(window, WM_DESTROY);
    if (IsWindowVisible(hwnd) || (window->style & WS_VISIBLE))
        SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                     SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    // Owned windows go first.
    std::vector<HWND> owned;
    {
        std::lock_guard guard(UserLock());
        for (HWND top : TopLevelWindowsLocked())
            if (WindowPtr w = FindWindowLocked(top); w && w->owner == hwnd) {
                if (w->thread == window->thread)
                    owned.push_back(top);
                else
                    w->owner = nullptr;
            }
    }
    for (HWND w : owned)
        DestroyWindow(w);
    if (topLevel)
        win32::internal::ReportDestroyed(hwnd);
    SendDestroy(window);
    HWND owner = window->owner;
    FreeWindow(window);
    if (topLevel && wasActive) {
        HWND next = owner && IsWindowVisible(owner) ? owner : FirstActivatable(hwnd);
        if (next)
            SetActiveWindow(next);
    }
    return TRUE;
}

BOOL IsWindow(HWND hwnd) {
    std::lock_guard guard(UserLock());
    return FindWindowLocked(hwnd) != nullptr;
}

BOOL IsChild(HWND parent, HWND hwnd) {
    std::lock_guard guard(UserLock());
    WindowPtr w = FindWindowLocked(hwnd);
    while (w && (w->style & WS_CHILD) && w->parent) {
        if (w->parent == parent)
            return TRUE;
        w = FindWindowLocked(w->parent);
    }
    return FALSE;
}

HWND GetParent(HWND hwnd) {
    WindowPtr w = LookupWindow(hwnd);
    if (!w)
        return nullptr;
    std::lock_guard guard(UserLock());
    if (w->parent)
        return w->parent;
    return (w->style & WS_POPUP) ? w->owner : nullptr;
}

HWND SetParent(HWND child, HWND newParent) {
    WindowPtr w = LookupWindow(child);
    if (!w)
        return nullptr;
    if (newParent && newParent != HWND_MESSAGE && !LookupWindow(newParent))
        return nullptr;
    if (w->thread != GetCurrentThreadId()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    if (newParent == HWND_MESSAGE)
        newParent = nullptr;
    HWND old;
    {
        std::lock_guard guard(UserLock());
        if (newParent == DesktopWindowLocked())
            newParent = nullptr;
        // A window cannot go below itself.
        for (WindowPtr p = FindWindowLocked(newParent); p; p = FindWindowLocked(p->parent))
            if (p == w) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return nullptr;
            }
        old = w->parent ? w->parent : DesktopWindowLocked();
        UnlinkWindowLocked(*w);
        LinkWindowLocked(*w, newParent, HWND_TOP);
        if (newParent)
            w->owner = nullptr;
    }
    InvalidateRect(child, nullptr, TRUE);
    return old;
}

HWND GetAncestor(HWND hwnd, UINT flags) {
    WindowPtr w = LookupWindow(hwnd);
    if (!w)
        return nullptr;
    std::lock_guard guard(UserLock());
    switch (flags) {
    case GA_PARENT: return w->parent ? w->parent : DesktopWindowLocked();
    case GA_ROOT: return RootOfLocked(*w);
    case GA_ROOTOWNER: {
        WindowPtr root = FindWindowLocked(RootOfLocked(*w));
        while (root && root->owner) {
            WindowPtr next = FindWindowLocked(root->owner);
            if (!next)
                break;
            root = FindWindowLocked(RootOfLocked(*next));
        }
        return root ? root->hwnd : nullptr;
    }
    default: return nullptr;
    }
}

HWND GetWindow(HWND hwnd, UINT command) {
    WindowPtr w = LookupWindow(hwnd);
    if (!w)
        return nullptr;
    std::lock_guard guard(UserLock());
    if (command == GW_CHILD)
        return w->children.empty() ? nullptr : w->children.front();
    if (command == GW_OWNER)
        return w->parent ? nullptr : w->owner;
    if (command == GW_ENABLEDPOPUP)
        return nullptr;
    std::vector<HWND> siblings;
    if (w->parent) {
        WindowPtr parent = FindWindowLocked(w->parent);
        if (parent)
            siblings = parent->children;
    } else {
        siblings = TopLevelWindowsLocked();
    }
    auto it = std::find(siblings.begin(), siblings.end(), hwnd);
    switch (command) {
    case GW_HWNDFIRST: return siblings.empty() ? nullptr : siblings.front();
    case GW_HWNDLAST: return siblings.empty() ? nullptr : siblings.back();
    case GW_HWNDNEXT: return (it == siblings.end() || it + 1 == siblings.end()) ? nullptr : *(it + 1);
    case GW_HWNDPREV: return (it == siblings.end() || it == siblings.begin()) ? nullptr : *(it - 1);
    default: SetLastError(ERROR_INVALID_PARAMETER); return nullptr;
    }
}

HWND GetTopWindow(HWND hwnd) {
    if (!hwnd) {
        std::lock_guard guard(UserLock());
        auto top = TopLevelWindowsLocked();
        return top.empty() ? nullptr : top.front();
    }
    return GetWindow(hwnd, GW_CHILD);
}

HWND GetDesktopWindow() {
    std::lock_guard guard(UserLock());
    return DesktopWindowLocked();
}

HWND GetLastActivePopup(HWND hwnd) {
    return IsWindow(hwnd) ? hwnd : nullptr;
}

BOOL EnumChildWindows(HWND parent, WNDENUMPROC callback, LPARAM param) {
    std::vector<HWND> list;
    {
        std::lock_guard guard(UserLock());
        WindowPtr w = parent ? FindWindowLocked(parent) : nullptr;
        if (w)
            list = DescendantsLocked(*w);
        else if (!parent)
            list = TopLevelWindowsLocked();
    }
    for (HWND hwnd : list)
        if (IsWindow(hwnd) && !callback(hwnd, param))
            return FALSE;
    return TRUE;
}

BOOL EnumWindows(WNDENUMPROC callback, LPARAM param) {
    return EnumChildWindows(nullptr, callback, param);
}

BOOL EnumThreadWindows(DWORD threadId, WNDENUMPROC callback, LPARAM param) {
    std::vector<HWND> list;
    {
        std::lock_guard guard(UserLock());
        for (HWND hwnd : TopLevelWindowsLocked())
            if (WindowPtr w = FindWindowLocked(hwnd); w && w->thread == threadId)
                list.push_back(hwnd);
    }
    for (HWND hwnd : list)
        if (IsWindow(hwnd) && !callback(hwnd, param))
            return FALSE;
    return TRUE;
}

HWND FindWindowExA(HWND parent, HWND childAfter, LPCSTR className, LPCSTR windowName) {
    std::lock_guard guard(UserLock());
    std::vector<HWND> list;
    if (parent && parent != DesktopWindowLocked()) {
        WindowPtr p = FindWindowLocked(parent);
        if (!p) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        list = p->children;
    } else {
        list = TopLevelWindowsLocked();
    }
    auto start = list.begin();
    if (childAfter) {
        start = std::find(list.begin(), list.end(), childAfter);
        if (start != list.end())
            ++start;
    }
    std::shared_ptr<WindowClass> cls = className ? FindClassLocked(className) : nullptr;
    if (className && !cls)
        return nullptr;
    for (auto it = start; it != list.end(); ++it) {
        WindowPtr w = FindWindowLocked(*it);
        if (!w || (cls && w->cls != cls) || (windowName && w->text != windowName))
            continue;
        return *it;
    }
    return nullptr;
}

HWND FindWindowA(LPCSTR className, LPCSTR windowName) {
    return FindWindowExA(nullptr, nullptr, className, windowName);
}

DWORD GetWindowThreadProcessId(HWND hwnd, LPDWORD processId) {
    WindowPtr w = LookupWindow(hwnd);
    if (!w)
        return 0;
    if (processId)
        *processId = GetCurrentProcessId();
    return w->thread;
}

HWND GetDlgItem(HWND dialog, int id) {
    WindowPtr w = LookupWindow(dialog);
    if (!w)
        return nullptr;
    std::lock_guard guard(UserLock());
    for (HWND child : w->children)
        if (WindowPtr c = FindWindowLocked(child); c && static_cast<int>(c->id) == id)
            return child;
    SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
    return nullptr;
}

int GetDlgCtrlID(HWND hwnd) {
    WindowPtr w = LookupWindow(hwnd);
    if (!w)
        return 0;
    std::lock_guard guard(UserLock());
    return (w->style & WS_CHILD) ? static_cast<int>(w->id) : 0;
}

LONG_PTR GetWindowLongPtrA(HWND hwnd, int index) {
    WindowPtr w = LookupWindow(hwnd);
    if (!w)
        return 0;
    std::lock_guard guard(UserLock());
    switch (index) {
    case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_HINSTANCE: return reinterpret_cast<LONG_PTR>(w->instance);
    case GWLP_HWNDPARENT: return reinterpret_cast<LONG_PTR>(w->parent ? w->parent : w->owner);
    case GWLP_ID: return w->id;
    case GWL_STYLE: return static_cast<LONG_PTR>(w->style);
    case GWL_EXSTYLE: return static_cast<LONG_PTR>(w->exStyle);
    case GWLP_USERDATA: return w->userData;
    default:
        if (index >= 0 && static_cast<size_t>(index) + sizeof(LONG_PTR) <= w->extra.size()) {
            LONG_PTR value;
            memcpy(&value, w->extra.data() + index, sizeof(value));
            return value;
        }
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
}

LONG_PTR SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value) {
    WindowPtr w = LookupWindow(hwnd);
    if (!w)
        return 0;
    if (index == GWL_STYLE || index == GWL_EXSTYLE) {
        STYLESTRUCT change{};
        {
            std::lock_guard guard(UserLock());
            change.styleOld = index == GWL_STYLE ? w->style : w->exStyle;
        }
        change.styleNew = static_cast<DWORD>(value);
        SendToWindow(w, WM_STYLECHANGING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&change));
        {
            std::lock_guard guard(UserLock());
            (index == GWL_STYLE ? w->style : w->exStyle) = change.styleNew;
        }
        SendToWindow(w, WM_STYLECHANGED, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&change));
        return static_cast<LONG_PTR>(change.styleOld);
    }
    std::lock_guard guard(UserLock());
    LONG_PTR old = 0;
    switch (index) {
    case GWLP_WNDPROC:
        old = reinterpret_cast<LONG_PTR>(w->proc);
        w->proc = reinterpret_cast<WNDPROC>(value);
        return old;
    case GWLP_HINSTANCE:
        old = reinterpret_cast<LONG_PTR>(w->instance);
        w->instance = reinterpret_cast<HINSTANCE>(value);
        return old;
    case GWLP_HWNDPARENT:
        if (w->parent)
            return reinterpret_cast<LONG_PTR>(w->parent);
        old = reinterpret_cast<LONG_PTR>(w->owner);
        w->owner = reinterpret_cast<HWND>(value);
        return old;
    case GWLP_ID:
        old = w->id;
        w->id = value;
        return old;
    case GWLP_USERDATA:
        old = w->userData;
        w->userData = value;
        return old;
    default:
        if (index >= 0 && static_cast<size_t>(index) + sizeof(LONG_PTR) <= w->extra.size()) {
            memcpy(&old, w->extra.data() + index, sizeof(old));
            memcpy(w->extra.data() + index, &value, sizeof(value));
            return old;
        }
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
}

LONG GetWindowLongA(HWND hwnd, int index) {
    WindowPtr w = LookupWindow(hwnd);
    if (w && index >= 0) {
        std::lock_guard guard(UserLock());
        if (static_cast<size_t>(index) + sizeof(LONG) <= w->extra.size()) {
            LONG value;
            memcpy(&value, w->extra.data() + index, sizeof(value));
            return value;
        }
    }
    return static_cast<LONG>(GetWindowLongPtrA(hwnd, index));
}

LONG SetWindowLongA(HWND hwnd, int index, LONG value) {
    WindowPtr w = LookupWindow(hwnd);
    if (w && index >= 0) {
        std::lock_guard guard(UserLock());
        if (static_cast<size_t>(index) + sizeof(LONG) <= w->extra.size()) {
            LONG old;
            memcpy(&old, w->extra.data() + index, sizeof(old));
            memcpy(w->extra.data() + index, &value, sizeof(value));
            return old;
        }
    }
    return static_cast<LONG>(SetWindowLongPtrA(hwnd, index, value));
}

BOOL SetWindowTextA(HWND hwnd, LPCSTR text) {
    WindowPtr w = LookupWindow(hwnd);
    if (!w)
        return FALSE;
    return static_cast<BOOL>(SendToWindow(w, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)));
}

int GetWindowTextA(HWND hwnd, LPSTR text, int maxCount) {
    if (text && maxCount > 0)
        text[0] = '\0';
    WindowPtr w = LookupWindow(hwnd);
    if (!w || !text || maxCount <= 0)
        return 0;
    return static_cast<int>(SendToWindow(w, WM_GETTEXT, static_cast<WPARAM>(maxCount), reinterpret_cast<LPARAM>(text)));
}

int GetWindowTextLengthA(HWND hwnd) {
    WindowPtr w = LookupWindow(hwnd);
    return w ? static_cast<int>(SendToWindow(w, WM_GETTEXTLENGTH, 0, 0)) : 0;
}
