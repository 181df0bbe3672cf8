// Simulation control of the window system (not part of the platform's interface): what tests and a display
// host use to drive windows as a user would and to read what a user would see.
//
// - Pictures: a window's own image, or a top-level window's picture (its image under its visible descendants'
//   images in z-order, each clipped to its parent), saved as PNG or read pixel by pixel. Painting is brought up
//   to date first (each window paints on its own thread, which must be pumping messages when it is not the
//   caller).
// - Input into the owner thread's queue: the mouse at a point of a window reaches the topmost visible,
//   enabled window under it (the capture window takes everything); keys reach the focus window.
// - Modal requests (message boxes, dialogs, pop-up menus, file, font and print-setup dialogs): each is recorded
//   and answered by the next matching entry a test queued; one nobody expected takes its default answer and
//   is reported (a failure in strict mode). A display host can take the service over.
// - Timers: AdvanceUiClock moves the virtual clock through each due time of the calling thread's timers,
//   pumping its messages at each.
// - Failures of creation, registration and timers; a display-host observer of top-level windows.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "WinUser.h"

namespace win32 {

// ---- windows

size_t LiveWindowCount();
// The windows of a thread that are still open (tests look for leaks).
std::vector<HWND> ThreadWindows(DWORD threadId);

// ---- failures

enum class UiFailure { CreateWindow = 0, RegisterClass = 1, SetTimer = 2 };
// The next `count` calls of that kind fail (after `skip` that still succeed): CreateWindowEx with
// ERROR_NOT_ENOUGH_MEMORY before any message, RegisterClass with ERROR_NOT_ENOUGH_MEMORY, SetTimer with 0 and
// ERROR_NO_SYSTEM_RESOURCES.
void FailUiCalls(UiFailure kind, ULONG count, ULONG skip = 0);
void ClearUiFailures();

// ---- messages and timers

// Handles every message the calling thread has now (sent, posted, input, paint, due timers) without waiting.
// Returns FALSE (and leaves WM_QUIT in place, re-posted) when it meets WM_QUIT.
BOOL PumpUiMessages();
// Virtual clock only: advances it by `milliseconds`, stopping at each due time of the calling thread's timers
// in order, and pumps the calling thread's messages at each stop and at the end.
void AdvanceUiClock(ULONG milliseconds);

// ---- pictures

// FALSE with the last error when the window is gone or the file cannot be written.
BOOL SaveWindowPng(HWND hwnd, const char* path);  // the window's own image (window rectangle)
BOOL SavePicturePng(HWND hwnd, const char* path); // the top-level window's picture
// A pixel of the window's picture at a point of its client area (0x00BBGGRR); CLR_INVALID outside.
COLORREF ClientPixel(HWND hwnd, int x, int y);
// A pixel of the top-level window's picture, in window coordinates.
COLORREF PicturePixel(HWND topLevel, int x, int y);

// ---- input

enum class MouseButton { Left, Right, Middle };
// Points are in the client coordinates of `hwnd`, any window; the message goes where the point lies.
void MouseMove(HWND hwnd, POINT point, WPARAM keys = 0);
void MouseDown(HWND hwnd, POINT point, MouseButton button = MouseButton::Left, WPARAM keys = 0);
void MouseUp(HWND hwnd, POINT point, MouseButton button = MouseButton::Left, WPARAM keys = 0);
void Click(HWND hwnd, POINT point, MouseButton button = MouseButton::Left, WPARAM keys = 0);
void DoubleClick(HWND hwnd, POINT point, MouseButton button = MouseButton::Left, WPARAM keys = 0);
// The pointer leaves every window (a tracked window gets WM_MOUSELEAVE).
void MouseLeave();
// WM_MOUSEWHEEL to the focus window of the thread that owns `hwnd` (delta: multiples of WHEEL_DELTA).
void MouseWheel(HWND hwnd, POINT point, int delta, WPARAM keys = 0);
// Keys go to the focus window of the thread that owns `hwnd` (or, with no focus, to its active window); a
// null `hwnd` means the foreground window.
void KeyDown(HWND hwnd, BYTE vk);
void KeyUp(HWND hwnd, BYTE vk);
void PressKey(HWND hwnd, BYTE vk); // down and up
void TypeText(HWND hwnd, const std::string& text);
// The context-menu key: WM_CONTEXTMENU to the focus window with the position (-1, -1).
void ContextMenuKey(HWND hwnd);
// The name of the current cursor: "arrow", "wait", "ibeam", "sizewe", "sizens", "sizeall", "sizenwse",
// "sizenesw", "hand", "no", "cross", "other" or "" (none).
std::string CurrentCursorName();

// ---- modal requests

enum class ModalKind { MessageBox, Dialog, PopupMenu, File, Font, PrintSetup };
const char* ModalKindName(ModalKind kind);

struct ModalRequest {
    ModalKind kind = ModalKind::MessageBox;
    DWORD thread = 0;
    HWND owner = nullptr;
    std::string caption;  // a message box's caption, a dialog's title
    std::string text;     // a message box's text, a dialog's template name, a menu's items joined by "|"
    UINT style = 0;       // a message box's MB_* flags
    INT_PTR answer = 0;   // what the request got
    bool expected = true; // false: nobody queued an answer for it
};

// Steps run inside the modal loop, on the requesting thread; `window` is the modal window (null for a message
// box); they return the answer (a dialog that ended itself inside the steps keeps its own result).
using ModalSteps = std::function<INT_PTR(const ModalRequest& request, HWND window)>;

struct ModalScript {
    ModalKind kind = ModalKind::MessageBox;
    std::string match; // a part of the text or caption the request must hold; empty: any
    INT_PTR answer = 0;
    ModalSteps steps; // when set, run instead of answering at once
};

void QueueModalAnswer(ModalKind kind, INT_PTR answer, const std::string& match = {});
void QueueModalSteps(ModalKind kind, ModalSteps steps, const std::string& match = {});
void QueueModalScript(ModalScript script);
// Scripts not used yet.
size_t PendingModalScripts();
std::vector<ModalRequest> ModalRequests();
std::vector<ModalRequest> UnexpectedModalRequests();
void ClearModalRequests(); // requests, unexpected ones, scripts and beeps
// Strict mode: an unexpected request is also handed to the failure handler (a test fixture makes it a test
// failure); without a handler it is written to standard error.
void SetModalStrict(bool strict);
void SetModalFailureHandler(std::function<void(const ModalRequest&)> handler);
// MessageBeep's types, in order.
std::vector<UINT> MessageBeeps();

// A display host answers every modal request itself (scripts are then not used); null gives the service back.
class ModalHost {
public:
    virtual ~ModalHost() = default;
    // On the requesting thread; returns the answer.
    virtual INT_PTR Run(const ModalRequest& request) = 0;
};
void SetModalHost(ModalHost* host);

// ---- a display host's view of the top-level windows (calls come on the thread that made the change)

class WindowObserver {
public:
    virtual ~WindowObserver() = default;
    virtual void Shown(HWND, bool visible) {}
    virtual void Moved(HWND, const RECT& windowRect) {}
    virtual void Retitled(HWND, const std::string& title) {}
    virtual void PictureChanged(HWND) {}
    virtual void Destroyed(HWND) {}
};
void AddWindowObserver(WindowObserver* observer);
void RemoveWindowObserver(WindowObserver* observer);

// ---- device notifications

// Waits until every WM_DEVICECHANGE of the Plug and Play changes made so far is queued to its windows.
void WaitForDeviceNotifications();

} // namespace win32
