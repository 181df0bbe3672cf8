// Simulation control of the window system (not part of the platform's interface): what tests and a display
// host use to drive windows as a user would and to read what a user would see.
//
// - Pictures: a window's own image, or a top-level window's picture (its image under its visible descendants'
//   images in z-order, each clipped to its parent), saved as PNG or read pixel by pixel. Painting is brought up
//   to date first (each window paints on its own thread, which must be pumping messages when it is not the
//   caller).
// - Input into the owner thread's queue: the mouse at a point of a window reaches the topmost visible,
//   enabled window under it (the capture window takes everything); keys reach the focus window. A call from a
//   thread that owns no window (a display host's) never waits for the window's thread: the event is queued to
//   that thread and hit-tested there when it next takes input.
// - Modal requests (message boxes, dialogs, pop-up menus, file, font and print-setup dialogs): each is recorded
//   and answered by the next matching entry a test queued; one nobody expected takes its default answer and
//   is reported (a failure in strict mode). A display driver can take the service over (WinDisplayDriver.h).
// - Timers: AdvanceUiClock moves the virtual clock through each due time of the calling thread's timers,
//   pumping its messages at each.
// - Failures of creation, registration and timers; observers of top-level windows, the cursor and the
//   clipboard.
#pragma once

#include <cstdint>
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
// Copies `area` (window coordinates) of the top-level window's picture as it stands, asking no thread to paint,
// into `pixels`: 32-bit 0x00RRGGBB values, `stride` bytes a row, the area's size. Parts of the area outside the
// window are left alone. FALSE when the window is gone or is not a top-level window.
BOOL CopyPicture(HWND topLevel, const RECT& area, uint32_t* pixels, int stride);

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
// The character TranslateMessage makes of a key of a US keyboard with shift and caps lock as given (the control
// key aside); 0 for a key that makes none.
char CharacterOfKey(BYTE vk, bool shift, bool capsLock);
// WM_CHAR of one Windows-1252 character to the focus window (as `KeyDown`), with no key behind it: how a
// display host enters text that no key of a US keyboard makes.
void EnterCharacter(HWND hwnd, BYTE character);
// The person activated the top-level window (clicked its frame, switched to it): it becomes the active and
// foreground window of its thread. A disabled window (its modal box is up) stays as it is.
void ActivateTopLevel(HWND topLevel);
// The person moved or sized the top-level window (the desktop's frame did): its window rectangle becomes
// `windowRect` (screen coordinates), as SetWindowPos on its thread, without activating it.
void RequestWindowRect(HWND topLevel, const RECT& windowRect);
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

// The modal loop of a request that a display host answers, on the requesting thread.
class ModalLoop {
public:
    virtual ~ModalLoop() = default;
    // Handles the requesting thread's messages, waiting for more, until the request's window ends (a box or
    // dialog ended, a menu closed: its own result is returned) or End is called (its answer is returned). A
    // WM_QUIT met on the way ends it too, with the request's default answer, and is posted again.
    virtual INT_PTR Run() = 0;
    // From any thread: Run returns `answer` (at once when it is running, else as soon as it starts).
    virtual void End(INT_PTR answer) = 0;
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

// What answers modal requests in place of the scripts (a display driver's part, WinDisplayDriver.h).
class ModalHost {
public:
    virtual ~ModalHost() = default;
    // On the requesting thread; returns the answer. `window` is the request's own window (a box's or dialog's,
    // the menu's; null for the file, font and print-setup requests, which have none here); `loop` pumps the
    // requesting thread until that window ends or the host ends it. The file and font requests' details:
    // CurrentFileDialogRequest and CurrentFontDialogRequest.
    virtual INT_PTR Run(const ModalRequest& request, HWND window, ModalLoop& loop) = 0;
};

// ---- what a display sees change (calls come on the thread that made the change, with no lock held; an
// observer only takes note, it never waits for another thread)

class WindowObserver {
public:
    virtual ~WindowObserver() = default;
    // Top-level windows only (a child's picture changes its top-level window's).
    virtual void Shown(HWND, bool visible) {}
    virtual void Moved(HWND, const RECT& windowRect) {}
    virtual void Retitled(HWND, const std::string& title) {}
    // `changed`: the part of the top-level window's picture that may differ now, in its window coordinates (the
    // whole rectangle of the window that painted, within the top-level window).
    virtual void PictureChanged(HWND, const RECT& changed) {}
    virtual void Destroyed(HWND) {}
    // The cursor set now (a name as CurrentCursorName gives); only a change is reported.
    virtual void CursorChanged(const std::string& name) {}
    // The clipboard got new contents (its text as ClipboardText gives, "" for none).
    virtual void ClipboardChanged(const std::string& text) {}
};
// Observers beside the display driver, told after it.
void AddWindowObserver(WindowObserver* observer);
void RemoveWindowObserver(WindowObserver* observer);

// ---- device notifications

// Waits until every WM_DEVICECHANGE of the Plug and Play changes made so far is queued to its windows.
void WaitForDeviceNotifications();

} // namespace win32
