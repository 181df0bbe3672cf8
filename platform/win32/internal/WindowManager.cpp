// Locks: everything here runs under UserLock() except CallProcedure, SendToWindow and DeliverSentMessages,
// which take it themselves around the state they touch and never hold it while a procedure runs.
#include "WindowManager.h"

#include <algorithm>
#include <map>

#include "../winerror.h"
#include "WinSystemInfo.h"
#include "WinThreads.h"

namespace win32::internal {

namespace {

constexpr size_t kMaxWindows = 0xFFFF; // the index is the handle's low word

struct Slot {
    WORD generation = 1;
    WindowPtr window;
};

struct Tables {
    std::vector<Slot> slots{1}; // index 0 is never used
    std::vector<size_t> freeSlots;
    std::vector<HWND> topLevel; // topmost first
    std::map<DWORD, std::shared_ptr<ThreadQueue>> queues;
    WindowPtr desktop;
    size_t live = 0;
};

Tables& State() {
    static auto* tables = new Tables; // never destroyed: threads may end during static destruction
    return *tables;
}

HWND MakeHandle(size_t index, WORD generation) {
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(index) | (static_cast<uintptr_t>(generation) << 16));
}

// The calling thread's queue; its end tears the thread's windows down.
struct QueueHolder {
    std::shared_ptr<ThreadQueue> queue;
    ~QueueHolder();
    void Release();
};
thread_local QueueHolder t_queue;

QueueHolder::~QueueHolder() {
    Release();
}

void QueueHolder::Release() {
    if (!queue)
        return;
    std::vector<WindowPtr> dropped; // released after the lock: a surface's end may take other locks
    {
        std::lock_guard guard(UserLock());
        queue->alive = false;
        for (auto& sent : queue->sent) {
            sent->done = true;
            sent->result = 0;
        }
        queue->sent.clear();
        queue->deferred.clear();
        for (const WindowPtr& window : AllWindowsLocked()) {
            if (window->thread != queue->thread)
                continue;
            UnlinkWindowLocked(*window);
            RemoveWindowLocked(*window);
            dropped.push_back(window);
        }
        KillThreadTimersLocked(queue->thread);
        State().queues.erase(queue->thread);
    }
    NotifyUser();
    for (auto& window : dropped)
        window->children.clear();
    queue.reset();
}

} // namespace

std::mutex& UserLock() {
    return DispatchLock();
}
void NotifyUser() {
    DispatchChanged().notify_all();
}

WindowPtr FindWindowLocked(HWND hwnd) {
    if (!hwnd)
        return nullptr;
    auto& s = State();
    if (s.desktop && hwnd == s.desktop->hwnd)
        return s.desktop;
    uintptr_t value = reinterpret_cast<uintptr_t>(hwnd);
    if (value >> 32)
        return nullptr;
    size_t index = value & 0xFFFF;
    WORD generation = static_cast<WORD>(value >> 16);
    if (index == 0 || index >= s.slots.size() || s.slots[index].generation != generation)
        return nullptr;
    return s.slots[index].window;
}

WindowPtr LookupWindow(HWND hwnd) {
    WindowPtr window;
    {
        std::lock_guard guard(UserLock());
        window = FindWindowLocked(hwnd);
    }
    if (!window)
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return window;
}

WindowPtr LookupOwnWindow(HWND hwnd) {
    WindowPtr window = LookupWindow(hwnd);
    if (window && window->thread != GetCurrentThreadId()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return window;
}

HWND InsertWindowLocked(const WindowPtr& window) {
    auto& s = State();
    size_t index;
    if (!s.freeSlots.empty()) {
        index = s.freeSlots.back();
        s.freeSlots.pop_back();
    } else {
        if (s.slots.size() > kMaxWindows)
            return nullptr;
        index = s.slots.size();
        s.slots.emplace_back();
    }
    s.slots[index].window = window;
    window->hwnd = MakeHandle(index, s.slots[index].generation);
    ++s.live;
    return window->hwnd;
}

namespace {

bool IsReleaseMessage(UINT message) {
    switch (message) {
    case WM_KEYUP:
    case WM_SYSKEYUP:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
    case WM_NCLBUTTONUP:
    case WM_NCRBUTTONUP: return true;
    default: return false;
    }
}

} // namespace

void RemoveWindowLocked(Window& window) {
    auto& s = State();
    uintptr_t value = reinterpret_cast<uintptr_t>(window.hwnd);
    size_t index = value & 0xFFFF;
    if (index == 0 || index >= s.slots.size() || s.slots[index].window.get() != &window)
        return;
    Slot& slot = s.slots[index];
    slot.window.reset();
    // The next window in this slot gets another generation, so the old handle stays dead (0 is never used).
    slot.generation = static_cast<WORD>(slot.generation == 0xFFFF ? 1 : slot.generation + 1);
    s.freeSlots.push_back(index);
    --s.live;
    if (window.cls)
        --window.cls->windows;
    KillWindowTimersLocked(window.hwnd);
    if (window.queue) {
        ForgetWindowInput(window.hwnd, *window.queue);
        auto& posted = window.queue->posted;
        std::erase_if(posted, [&](const MSG& msg) { return msg.hwnd == window.hwnd; });
        // A release queued for the window still happens: a key or button whose down message closed the
        // window would otherwise stay down for the thread.
        std::erase_if(window.queue->input, [&](const MSG& msg) {
            if (msg.hwnd != window.hwnd)
                return false;
            if (IsReleaseMessage(msg.message))
                TookInputLocked(*window.queue, msg);
            return true;
        });
    }
}

std::vector<WindowPtr> AllWindowsLocked() {
    std::vector<WindowPtr> windows;
    for (const Slot& slot : State().slots)
        if (slot.window)
            windows.push_back(slot.window);
    return windows;
}

std::vector<HWND> TopLevelWindowsLocked() {
    return State().topLevel;
}

size_t WindowCountLocked() {
    return State().live;
}

HWND DesktopWindowLocked() {
    auto& s = State();
    if (!s.desktop) {
        s.desktop = std::make_shared<Window>();
        // Slot 0 is never given to a window, so the desktop's handle cannot be one a window gets.
        s.desktop->hwnd = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x10000));
        s.desktop->style = WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN;
        s.desktop->proc = DefWindowProcA;
        s.desktop->text = "";
        s.desktop->cls = std::make_shared<WindowClass>();
        s.desktop->cls->name = "#32769";
        int width = GetSystemMetrics(SM_CXSCREEN);
        int height = GetSystemMetrics(SM_CYSCREEN);
        s.desktop->rect = {0, 0, width, height};
        s.desktop->client = s.desktop->rect;
    }
    return s.desktop->hwnd;
}

void EndThreadQueue() {
    t_queue.Release();
}

std::shared_ptr<ThreadQueue> CurrentQueue() {
    if (t_queue.queue)
        return t_queue.queue;
    auto queue = std::make_shared<ThreadQueue>();
    queue->thread = GetCurrentThreadId();
    {
        std::lock_guard guard(UserLock());
        State().queues[queue->thread] = queue;
    }
    t_queue.queue = queue;
    return queue;
}

std::shared_ptr<ThreadQueue> QueueOfThreadLocked(DWORD thread) {
    auto& queues = State().queues;
    auto it = queues.find(thread);
    return it == queues.end() ? nullptr : it->second;
}

WindowPtr ParentOfLocked(const Window& window) {
    return FindWindowLocked(window.parent);
}

void UnlinkWindowLocked(Window& window) {
    std::vector<HWND>* list = &State().topLevel;
    if (window.parent) {
        WindowPtr parent = ParentOfLocked(window);
        list = parent ? &parent->children : nullptr;
    }
    if (list)
        std::erase(*list, window.hwnd);
}

void LinkWindowLocked(Window& window, HWND parent, HWND insertAfter) {
    window.parent = parent;
    std::vector<HWND>* list = &State().topLevel;
    if (parent) {
        WindowPtr p = FindWindowLocked(parent);
        if (!p)
            return;
        list = &p->children;
    }
    std::erase(*list, window.hwnd);
    if (insertAfter == HWND_TOP || insertAfter == HWND_TOPMOST || insertAfter == HWND_NOTOPMOST) {
        list->insert(list->begin(), window.hwnd);
        return;
    }
    auto it = std::find(list->begin(), list->end(), insertAfter);
    if (insertAfter == HWND_BOTTOM || it == list->end())
        list->push_back(window.hwnd);
    else
        list->insert(it + 1, window.hwnd);
}

HWND RootOfLocked(const Window& window) {
    const Window* w = &window;
    while (w->parent) {
        WindowPtr parent = ParentOfLocked(*w);
        if (!parent)
            break;
        w = parent.get();
    }
    return w->hwnd;
}

bool IsVisibleLocked(const Window& window) {
    const Window* w = &window;
    for (;;) {
        if (!(w->style & WS_VISIBLE))
            return false;
        if (!w->parent)
            return true;
        WindowPtr parent = ParentOfLocked(*w);
        if (!parent)
            return false;
        w = parent.get();
    }
}

RECT WindowRectOnScreenLocked(const Window& window) {
    RECT rect = window.rect;
    if (window.parent) {
        if (WindowPtr parent = ParentOfLocked(window)) {
            POINT origin = ClientOriginLocked(*parent);
            rect.left += origin.x;
            rect.right += origin.x;
            rect.top += origin.y;
            rect.bottom += origin.y;
        }
    }
    return rect;
}

POINT ClientOriginLocked(const Window& window) {
    RECT rect = WindowRectOnScreenLocked(window);
    return {rect.left + window.client.left, rect.top + window.client.top};
}

std::vector<HWND> DescendantsLocked(const Window& window) {
    std::vector<HWND> result;
    for (HWND child : window.children) {
        if (WindowPtr w = FindWindowLocked(child)) {
            result.push_back(child);
            auto below = DescendantsLocked(*w);
            result.insert(result.end(), below.begin(), below.end());
        }
    }
    return result;
}

LRESULT CallProcedure(const WindowPtr& window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kRunOnThreadMessage) {
        (*reinterpret_cast<std::function<void()>*>(lParam))();
        return 0;
    }
    WNDPROC proc;
    {
        std::lock_guard guard(UserLock());
        proc = window->proc;
    }
    return proc ? proc(window->hwnd, message, wParam, lParam) : 0;
}

bool DeliverSentMessages(ThreadQueue& queue) {
    bool any = false;
    for (;;) {
        std::shared_ptr<SentMessage> sent;
        WindowPtr window;
        {
            std::lock_guard guard(UserLock());
            if (queue.sent.empty())
                return any;
            sent = queue.sent.front();
            queue.sent.pop_front();
            window = FindWindowLocked(sent->hwnd);
            ++queue.sendDepth;
        }
        any = true;
        LRESULT result = window ? CallProcedure(window, sent->message, sent->wParam, sent->lParam) : 0;
        {
            std::lock_guard guard(UserLock());
            --queue.sendDepth;
            sent->result = result;
            sent->done = true;
            sent->data.reset();
        }
        NotifyUser();
    }
}

} // namespace win32::internal
