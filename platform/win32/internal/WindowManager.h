// Internal to the user-mode stand-in: the window manager's state. Windows, classes, queues and timers all live
// under DispatchLock() (the lock of the waitable objects), so that MsgWaitForMultipleObjects waits for objects
// and messages in one wait, and whoever changes a queue notifies DispatchChanged(). No window procedure, hook
// or observer is ever called with the lock held.
//
// A window is a shared object: a call that works on it holds a reference, so a window destroyed under it (by
// its own handler) stays valid memory until the call returns; its handle, though, is dead at once.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Dispatcher.h"
#include "WinUser.h"

namespace win32::internal {

class WindowSurface;
struct ThreadQueue;

struct WindowClass {
    std::string name;
    ATOM atom = 0;
    UINT style = 0;
    WNDPROC proc = nullptr;
    int classExtra = 0;
    int windowExtra = 0;
    HINSTANCE instance = nullptr;
    HICON icon = nullptr;
    HICON smallIcon = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
    std::string menuName;
    LONG_PTR menuId = 0; // a menu named by id
    std::vector<BYTE> extra;
    int windows = 0; // live windows of the class
};

struct ScrollBar {
    int min = 0;
    int max = 100;
    UINT page = 0;
    int pos = 0;
    bool shown = false;
    bool disabled = false;
};

struct Window {
    HWND hwnd = nullptr;
    std::shared_ptr<WindowClass> cls;
    std::shared_ptr<ThreadQueue> queue;
    DWORD thread = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    std::string text;
    HWND parent = nullptr;      // a child's parent
    HWND owner = nullptr;       // a top-level window's owner
    std::vector<HWND> children; // topmost first
    WNDPROC proc = nullptr;
    LONG_PTR userData = 0;
    LONG_PTR id = 0;
    HINSTANCE instance = nullptr;
    HMENU menu = nullptr; // a top-level window's menu bar
    RECT rect{};          // in the parent's client coordinates; screen coordinates for a top-level window
    RECT client{};        // the client area in window coordinates (origin: the window's top-left corner)
    RECT normal{};        // the restored rectangle of a minimized or maximized window
    std::vector<BYTE> extra;
    std::map<std::string, HANDLE> props;
    ScrollBar scroll[2];

    // What is left to paint: the update rectangle (client coordinates; empty: nothing), the background, the
    // frame.
    RECT update{};
    bool erase = false;
    bool frame = false;
    bool internalPaint = false;
    bool redraw = true; // WM_SETREDRAW
    std::shared_ptr<WindowSurface> surface;

    bool created = false;     // WM_CREATE returned
    bool destroying = false;  // DestroyWindow has begun
    bool trackLeave = false;  // TrackMouseEvent(TME_LEAVE)
    LRESULT ncPressed = 0;    // the caption button (HTCLOSE, HTMINBUTTON, HTMAXBUTTON) pressed and not let go
    int paintsInProgress = 0; // BeginPaint..EndPaint
    unsigned paints = 0;      // BeginPaint calls so far
};

using WindowPtr = std::shared_ptr<Window>;

// A message sent to another thread's window: the sender waits for `done` unless it is a notification.
struct SentMessage {
    HWND hwnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    LRESULT result = 0;
    bool done = false;
    bool notify = false;
    std::shared_ptr<void> data; // what lParam points to, for a notification that carries a block
};

struct Timer {
    HWND hwnd = nullptr;
    UINT_PTR id = 0;
    DWORD thread = 0;
    UINT interval = 0; // milliseconds
    LONGLONG due = 0;  // machine time
    TIMERPROC proc = nullptr;
};

// Input (or an activation, a move) from a thread that owns no window: it runs on the window's thread when that
// thread next takes input and its input queue is empty, so its hit-test, activation and cursor messages are
// handled there, in order with the messages it makes.
struct DeferredInput {
    DWORD kind = 0; // the queue-status bit it counts as (QS_KEY, QS_MOUSEMOVE, QS_MOUSEBUTTON, QS_POSTMESSAGE)
    std::function<void()> run;
};

struct ThreadQueue {
    DWORD thread = 0;
    bool alive = true;
    std::deque<std::shared_ptr<SentMessage>> sent;
    std::deque<MSG> posted;
    std::deque<MSG> input;
    std::deque<DeferredInput> deferred;
    bool quit = false;
    int quitCode = 0;
    int sendDepth = 0; // messages from other threads being handled now
    HWND focus = nullptr;
    HWND active = nullptr;
    HWND capture = nullptr;
    HWND menu = nullptr; // the pop-up menu window up now: it takes the keyboard
    BYTE keys[256] = {}; // GetKeyState: bit 7 down, bit 0 toggled, as of the last input message taken
    MSG last{};          // the message last taken (GetMessagePos, GetMessageTime)
};

std::mutex& UserLock(); // DispatchLock()
void NotifyUser();      // DispatchChanged().notify_all()

// Everything below: under UserLock unless it says otherwise.

WindowPtr FindWindowLocked(HWND hwnd);
// The window, or null with ERROR_INVALID_WINDOW_HANDLE (takes the lock itself).
WindowPtr LookupWindow(HWND hwnd);
// The same for a window of the calling thread only; another thread's window gives ERROR_ACCESS_DENIED.
WindowPtr LookupOwnWindow(HWND hwnd);
HWND InsertWindowLocked(const WindowPtr& window);
void RemoveWindowLocked(Window& window);
std::vector<WindowPtr> AllWindowsLocked(); // every live window
std::vector<HWND> TopLevelWindowsLocked(); // topmost first
HWND DesktopWindowLocked();

// The calling thread's queue, created on first use; at the thread's end its windows and timers go, without
// messages (their procedures' objects may be gone), and threads waiting on its sends are released.
std::shared_ptr<ThreadQueue> CurrentQueue();
// Ends the calling thread's queue now (a thread of CreateThread, before its handle is signalled).
void EndThreadQueue();
std::shared_ptr<ThreadQueue> QueueOfThreadLocked(DWORD thread);

std::shared_ptr<WindowClass> FindClassLocked(LPCSTR name);

// Tree helpers.
WindowPtr ParentOfLocked(const Window& window);
void LinkWindowLocked(Window& window, HWND parent, HWND insertAfter);
void UnlinkWindowLocked(Window& window);
HWND RootOfLocked(const Window& window);
bool IsVisibleLocked(const Window& window);     // WS_VISIBLE up to the top
POINT ClientOriginLocked(const Window& window); // on the screen
RECT WindowRectOnScreenLocked(const Window& window);
std::vector<HWND> DescendantsLocked(const Window& window); // children first, depth first

// Calls a window procedure with no lock held (internal messages of the manager are handled here).
LRESULT CallProcedure(const WindowPtr& window, UINT message, WPARAM wParam, LPARAM lParam);
// SendMessage to a known window.
LRESULT SendToWindow(const WindowPtr& window, UINT message, WPARAM wParam, LPARAM lParam);

// Takes the sent messages of the calling thread and handles them; true when there was one (no lock held).
bool DeliverSentMessages(ThreadQueue& queue);

// Messages the manager sends itself across threads.
constexpr UINT kUpdateNowMessage = 0x0396;   // RedrawWindow(RDW_UPDATENOW | RDW_ALLCHILDREN)
constexpr UINT kRunOnThreadMessage = 0x0397; // lParam: a std::function<void()>* run on the owner thread

// The non-client insets of a style: what DefWindowProc's WM_NCCALCSIZE and AdjustWindowRectEx take away.
RECT NonClientInsets(DWORD style, DWORD exStyle, bool menu, bool vscroll, bool hscroll);
// Window count for the control interface.
size_t WindowCountLocked();

// A notification to another thread's window that carries a block: lParam points to the block, which lives
// until the message has been handled. On the window's own thread it is handled at once.
BOOL SendNotifyBlock(HWND hwnd, UINT message, WPARAM wParam, std::shared_ptr<std::vector<BYTE>> block);

// A message for `msgHwnd` passes a window filter: null takes all, (HWND)-1 only thread messages, otherwise the
// window and its descendants.
bool MatchesFilterLocked(HWND msgHwnd, HWND filter);

// Painting (WinUpdate.cpp): the first window of the thread that passes the filter and has something to paint.
HWND FindPaintLocked(const ThreadQueue& queue, HWND filter);
// Timers (WinTimers.cpp).
bool TakeTimerLocked(ThreadQueue& queue, HWND filter, bool remove, MSG* msg);
LONGLONG NextTimerDueLocked(DWORD thread); // LLONG_MAX: none
bool TimerExistsLocked(HWND hwnd, UINT_PTR id, TIMERPROC proc);
void KillWindowTimersLocked(HWND hwnd);
void KillThreadTimersLocked(DWORD thread);
// The window's image, made at its size when first needed (WinPaint.cpp).
std::shared_ptr<WindowSurface> SurfaceOfLocked(Window& window);
// Takes the next deferred input of the calling thread's queue when its input queue is empty; the caller runs
// it without the lock.
std::function<void()> TakeDeferredInputLocked(ThreadQueue& queue);
// Input (WinInput.cpp): what taking an input message changes (key state); the mouse position.
void TookInputLocked(ThreadQueue& queue, const MSG& msg);
POINT CursorPosLocked();
void ForgetWindowInput(HWND hwnd, ThreadQueue& queue); // focus, capture, active of a dying window

} // namespace win32::internal
