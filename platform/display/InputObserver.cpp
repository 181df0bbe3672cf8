// The observer of the person's input. Its lock is held while it runs, so that whoever takes it away knows it
// runs no more once the call has returned; nothing else is taken under it.
#include "platform/display/InputObserver.h"

#include <mutex>
#include <utility>

namespace display {

namespace {

std::mutex g_observerLock;
InputObserver g_observer; // under g_observerLock

} // namespace

void SetInputObserver(InputObserver observer) {
    std::lock_guard guard(g_observerLock);
    g_observer = std::move(observer);
}

void NotifyInputObserver(const InputEvent& event) {
    std::lock_guard guard(g_observerLock);
    if (g_observer) {
        g_observer(event);
    }
}

} // namespace display
