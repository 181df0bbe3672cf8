// Internal to the display host: the GTK 3 driver. GTK lives on the host's own thread; the window system's
// calls (on the threads of the windows) only queue work to it (Post), and the host's thread never waits for a
// window's thread: it reads pictures with CopyPicture and sends input through the entries that queue it.
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "WinDisplayDriver.h"

namespace display {

// One GTK window for one shown top-level window of the model (host thread only).
struct HostWindow {
    HWND hwnd = nullptr;
    GtkWidget* window = nullptr;
    GtkWidget* area = nullptr; // draws the model's picture, takes the input
    win32::TopLevelDescription description;
    cairo_surface_t* image = nullptr; // the shown area's pixels, as last copied
    bool grabbed = false;             // holds the pointer (a pop-up menu)
    unsigned pressedKeys[256] = {};   // hardware key code -> the virtual key its press sent (0: none)
};

class GtkHost final : public win32::DisplayDriver {
public:
    GtkHost() = default;
    ~GtkHost() override;
    GtkHost(const GtkHost&) = delete;
    GtkHost& operator=(const GtkHost&) = delete;

    // Starts the host's thread and opens the display there; false when it does not open.
    bool Start();
    // Closes every window and ends the thread.
    void Stop();

    // The driver's side, on the windows' threads.
    void Shown(HWND hwnd, bool visible) override;
    void Moved(HWND hwnd, const RECT& windowRect) override;
    void Retitled(HWND hwnd, const std::string& title) override;
    void PictureChanged(HWND hwnd, const RECT& changed) override;
    void Destroyed(HWND hwnd) override;
    void CursorChanged(const std::string& name) override;
    void ClipboardChanged(const std::string& text) override;
    bool AnswersModalRequests() const override { return true; }
    INT_PTR Run(const win32::ModalRequest& request, HWND window, win32::ModalLoop& loop) override;
    win32::DesktopExecution Execute(const win32::ShellExecution& execution) override;

    // Queues `work` to the host's thread.
    void Post(std::function<void()> work);
    // Host thread: the GTK window shown for a model window, or null.
    HostWindow* Find(HWND hwnd);

private:
    void RunThread(std::promise<bool>* opened);
    // Host thread: brings the GTK window of `hwnd` in line with the model (made, placed, titled, shown or
    // hidden); `creating` makes it when the model window is visible and has none yet.
    void Sync(HWND hwnd);
    void Destroy(HWND hwnd);
    void Redraw();
    void ApplyCursor(GdkWindow* window);

    std::thread thread_;
    GMainContext* context_ = nullptr;
    GMainLoop* loop_ = nullptr;
    std::map<HWND, std::unique_ptr<HostWindow>> windows_; // host thread only
    std::string cursor_ = "arrow";                        // host thread only

    std::mutex dirtyLock_;
    std::map<HWND, RECT> dirty_; // what of each picture changed since the last redraw (window coordinates)
    bool redrawQueued_ = false;

    friend struct HostWindowEvents;
};

// Host thread: makes the GTK window of a model window and connects its events (HostWindow.cpp).
std::unique_ptr<HostWindow> CreateHostWindow(GtkHost& host, HWND hwnd, const win32::TopLevelDescription& description,
                                             GtkWindow* transientFor);
// Host thread: places and sizes the GTK window as the model's window lies now.
void PlaceHostWindow(HostWindow& window, const win32::TopLevelDescription& description);
void DestroyHostWindow(HostWindow& window);

// Requests with no window of their own (HostRequests.cpp): run on the requesting thread, which keeps
// pumping while the host's thread shows the GTK dialog.
INT_PTR RunFileRequest(GtkHost& host, const win32::ModalRequest& request, win32::ModalLoop& loop);
INT_PTR RunFontRequest(GtkHost& host, const win32::ModalRequest& request, win32::ModalLoop& loop);
INT_PTR RunPrintSetupRequest(GtkHost& host, const win32::ModalRequest& request, win32::ModalLoop& loop);

// The desktop's name of a cursor the window system names ("arrow", "ibeam", ...).
const char* DesktopCursorName(const std::string& name);

} // namespace display
