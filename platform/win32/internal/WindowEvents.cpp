// Locks: the driver and the observer list have a lock of their own, taken after UserLock() is let go; they are
// called with neither held (a driver may call back into the window system).
#include "WindowEvents.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "InputState.h"
#include "NonClient.h"
#include "WinClipboard.h"
#include "WinDisplayDriver.h"
#include "WinRect.h"
#include "WindowManager.h"

namespace win32 {

namespace {

std::mutex g_observerLock;
DisplayDriver* g_driver = nullptr;
std::vector<WindowObserver*> g_observers;

DisplayDriver& NullDriver() {
    static DisplayDriver driver;
    return driver;
}

// The driver first, then the observers.
std::vector<WindowObserver*> Observers() {
    std::lock_guard guard(g_observerLock);
    std::vector<WindowObserver*> all;
    all.reserve(g_observers.size() + 1);
    if (g_driver)
        all.push_back(g_driver);
    all.insert(all.end(), g_observers.begin(), g_observers.end());
    return all;
}

// The top-level window of hwnd, or null when it is a child and `childToo` is false.
HWND TopLevel(HWND hwnd, bool childToo) {
    std::lock_guard guard(internal::UserLock());
    internal::WindowPtr window = internal::FindWindowLocked(hwnd);
    if (!window || (window->parent && !childToo))
        return nullptr;
    return internal::RootOfLocked(*window);
}

} // namespace

void AddWindowObserver(WindowObserver* observer) {
    std::lock_guard guard(g_observerLock);
    g_observers.push_back(observer);
}

void RemoveWindowObserver(WindowObserver* observer) {
    std::lock_guard guard(g_observerLock);
    std::erase(g_observers, observer);
}

void SetDisplayDriver(DisplayDriver* driver) {
    std::lock_guard guard(g_observerLock);
    g_driver = driver;
}

DisplayDriver& CurrentDisplayDriver() {
    return internal::Display();
}

bool DescribeTopLevel(HWND hwnd, TopLevelDescription& description) {
    std::lock_guard guard(internal::UserLock());
    internal::WindowPtr w = internal::FindWindowLocked(hwnd);
    if (!w || w->parent || w->destroying)
        return false;
    description.className = w->cls ? w->cls->name : std::string();
    description.title = w->text;
    description.style = w->style;
    description.exStyle = w->exStyle;
    internal::WindowPtr owner = internal::FindWindowLocked(w->owner);
    description.owner = owner ? internal::RootOfLocked(*owner) : nullptr;
    description.window = w->rect;
    description.framed = (w->style & WS_CAPTION) == WS_CAPTION;
    description.visible = (w->style & WS_VISIBLE) != 0;
    description.enabled = (w->style & WS_DISABLED) == 0;
    description.popupMenu = description.className == "#32768";
    description.clientOrigin = {w->client.left, w->client.top};
    const RECT whole{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
    if (!description.framed) {
        description.shown = whole;
        return true;
    }
    const internal::NonClientLayout layout = internal::LayoutOfLocked(*w);
    description.shown = w->client;
    if (layout.menu.bottom > layout.menu.top)
        description.shown.top = std::min(description.shown.top, layout.menu.top);
    return true;
}

namespace internal {

DisplayDriver& Display() {
    std::lock_guard guard(g_observerLock);
    return g_driver ? *g_driver : NullDriver();
}

void ReportShown(HWND hwnd, bool visible) {
    auto observers = Observers();
    if (observers.empty() || !TopLevel(hwnd, false))
        return;
    for (auto* observer : observers)
        observer->Shown(hwnd, visible);
}

void ReportMoved(HWND hwnd) {
    auto observers = Observers();
    if (observers.empty() || !TopLevel(hwnd, false))
        return;
    RECT rect{};
    GetWindowRect(hwnd, &rect);
    for (auto* observer : observers)
        observer->Moved(hwnd, rect);
}

void ReportRetitled(HWND hwnd, const std::string& title) {
    auto observers = Observers();
    if (observers.empty() || !TopLevel(hwnd, false))
        return;
    for (auto* observer : observers)
        observer->Retitled(hwnd, title);
}

void ReportPictureChanged(HWND hwnd) {
    auto observers = Observers();
    if (observers.empty())
        return;
    HWND root = TopLevel(hwnd, true);
    if (!root)
        return;
    // All of the window that painted: what scrolled inside it changed as much as what was drawn.
    RECT painted, whole, changed;
    if (!GetWindowRect(hwnd, &painted) || !GetWindowRect(root, &whole))
        return;
    OffsetRect(&painted, -whole.left, -whole.top);
    OffsetRect(&whole, -whole.left, -whole.top);
    if (!IntersectRect(&changed, &painted, &whole))
        return;
    for (auto* observer : observers)
        observer->PictureChanged(root, changed);
}

void ReportDestroyed(HWND hwnd) {
    for (auto* observer : Observers())
        observer->Destroyed(hwnd);
}

void ReportCursorChanged(HCURSOR cursor) {
    auto observers = Observers();
    if (observers.empty())
        return;
    const std::string name = cursor ? CursorName(cursor) : std::string();
    for (auto* observer : observers)
        observer->CursorChanged(name);
}

void ReportClipboardChanged() {
    auto observers = Observers();
    if (observers.empty())
        return;
    const std::string text = ClipboardText();
    for (auto* observer : observers)
        observer->ClipboardChanged(text);
}

} // namespace internal

} // namespace win32
