// The display-driver interface (not part of the platform's interface): the one table of operations through
// which the window system talks to a screen. The window system calls the driver when a top-level window is
// shown, moved, retitled, repainted or destroyed, when the cursor or the clipboard changes, for modal requests
// and for what the shell opens; the driver feeds mouse and keyboard back through the input entry of
// WinUiControl.h and reads pictures with CopyPicture. The null driver is the headless machine: it shows nothing,
// leaves every modal request to the scripts and every execution to the shell's record.
//
// A driver's calls come on the thread that made the change, with no lock of the window system held. It must
// never wait there for another thread, and its own thread never waits for a window's thread: everything it
// calls here either reads under a short lock or queues work to the window's thread.
#pragma once

#include <string>

#include "WinShellControl.h"
#include "WinUiControl.h"

namespace win32 {

// What a driver did with something a program opens through the shell.
enum class DesktopExecution {
    LeftToShell, // not the driver's: the shell stand-in records it
    Started,     // the desktop's handler was started
    NoHandler,   // the driver's, but no handler could be started
};

class DisplayDriver : public WindowObserver, public ModalHost {
public:
    // True when this driver answers modal requests (Run); the null driver leaves them to the scripts.
    virtual bool AnswersModalRequests() const { return false; }
    INT_PTR Run(const ModalRequest&, HWND, ModalLoop& loop) override { return loop.Run(); }
    // A program opens something through the shell: Started is recorded as started, NoHandler as a failure of
    // the shell (no association); LeftToShell leaves it to the shell stand-in.
    virtual DesktopExecution Execute(const ShellExecution&) { return DesktopExecution::LeftToShell; }
};

// The driver in force from now on; null brings the null driver back. The caller keeps `driver` alive until it
// is replaced.
void SetDisplayDriver(DisplayDriver* driver);
DisplayDriver& CurrentDisplayDriver();

// What a driver needs to show a top-level window (read under a short lock, from any thread).
struct TopLevelDescription {
    std::string className;
    std::string title;
    DWORD style = 0;
    DWORD exStyle = 0;
    HWND owner = nullptr;   // its owner's top-level window
    RECT window{};          // screen coordinates
    RECT shown{};           // window coordinates: what a desktop that frames the window itself shows of it
    POINT clientOrigin{};   // window coordinates: where the client area begins
    bool framed = false;    // it has a caption: the desktop frames it; else it is shown whole, undecorated
    bool visible = false;   // WS_VISIBLE
    bool enabled = true;    // not WS_DISABLED
    bool popupMenu = false; // a pop-up menu's window: it holds the pointer while it is up
};
// False when `hwnd` is not a live top-level window. `shown` is the client area, with the menu bar above it
// when the window has one (so a click there reaches the bar as a non-client click).
bool DescribeTopLevel(HWND hwnd, TopLevelDescription& description);

} // namespace win32
