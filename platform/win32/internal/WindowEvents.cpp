// Locks: the observer list has a lock of its own, taken after UserLock() is let go; observers are called with
// neither held (an observer may call back into the window system).
#include "WindowEvents.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "../WinUiControl.h"
#include "WindowManager.h"

namespace win32 {

namespace {

std::mutex g_observerLock;
std::vector<WindowObserver*> g_observers;

std::vector<WindowObserver*> Observers() {
    std::lock_guard guard(g_observerLock);
    return g_observers;
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

namespace internal {

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
    for (auto* observer : observers)
        observer->PictureChanged(root);
}

void ReportDestroyed(HWND hwnd) {
    for (auto* observer : Observers())
        observer->Destroyed(hwnd);
}

} // namespace internal

} // namespace win32
