// The GTK 3 host: its thread, the driver's calls queued to it, and the attach call. Locks: the dirty-picture
// set has its own; nothing else is shared between the host's thread and the windows' threads but the queue of
// GLib's main context.
#include "platform/display/GtkHost.h"

#include <strings.h>

#include <cstdlib>
#include <future>

#include "WinMachineProfile.h"
#include "WinRect.h"
#include "WinUser.h"
#include "platform/display/DisplayHost.h"
#include "platform/display/HostKeys.h"

namespace display {

namespace {

std::mutex g_attachLock;
GtkHost* g_host = nullptr; // under g_attachLock

gboolean RunPosted(gpointer data) {
    (*static_cast<std::function<void()>*>(data))();
    return G_SOURCE_REMOVE;
}

void FreePosted(gpointer data) {
    delete static_cast<std::function<void()>*>(data);
}

BOOL CALLBACK SyncShown(HWND hwnd, LPARAM param) {
    if (IsWindowVisible(hwnd))
        reinterpret_cast<GtkHost*>(param)->Shown(hwnd, true);
    return TRUE;
}

// An address the desktop's browser or mail program opens.
bool IsWebAddress(const std::string& file) {
    for (const char* scheme : {"http://", "https://", "mailto:"})
        if (strncasecmp(file.c_str(), scheme, std::char_traits<char>::length(scheme)) == 0)
            return true;
    return false;
}

} // namespace

const char* DesktopCursorName(const std::string& name) {
    static const std::map<std::string, const char*> kNames = {
        {"arrow", "default"},        {"ibeam", "text"},       {"wait", "wait"},
        {"cross", "crosshair"},      {"uparrow", "default"},  {"sizenwse", "nwse-resize"},
        {"sizenesw", "nesw-resize"}, {"sizewe", "ew-resize"}, {"sizens", "ns-resize"},
        {"sizeall", "move"},         {"no", "not-allowed"},   {"hand", "pointer"},
        {"appstarting", "progress"}, {"help", "help"},        {"", "none"},
    };
    auto it = kNames.find(name);
    return it != kNames.end() ? it->second : "default";
}

GtkHost::~GtkHost() {
    Stop();
}

bool GtkHost::Start() {
    std::promise<bool> opened;
    std::future<bool> result = opened.get_future();
    thread_ = std::thread(&GtkHost::RunThread, this, &opened);
    if (result.get())
        return true;
    thread_.join();
    return false;
}

void GtkHost::RunThread(std::promise<bool>* opened) {
    gdk_set_allowed_backends("x11");
    if (!gtk_init_check(nullptr, nullptr)) {
        opened->set_value(false);
        return;
    }
    context_ = g_main_context_default();
    g_main_context_acquire(context_);
    loop_ = g_main_loop_new(context_, FALSE);
    // The screen the windows are laid out on is the X screen.
    GdkWindow* root = gdk_get_default_root_window();
    win32::MachineProfile profile = win32::GetMachineProfile();
    profile.screenWidth = gdk_window_get_width(root);
    profile.screenHeight = gdk_window_get_height(root);
    win32::SetMachineProfile(profile);
    win32::SetDisplayDriver(this);
    // Windows shown before the host came.
    EnumWindows(SyncShown, reinterpret_cast<LPARAM>(this));
    opened->set_value(true);
    g_main_loop_run(loop_);
    for (auto& [hwnd, window] : windows_)
        DestroyHostWindow(*window);
    windows_.clear();
    while (g_main_context_iteration(context_, FALSE)) {
    }
    g_main_loop_unref(loop_);
    loop_ = nullptr;
    g_main_context_release(context_);
}

void GtkHost::Stop() {
    if (!thread_.joinable())
        return;
    win32::SetDisplayDriver(nullptr);
    Post([this] { g_main_loop_quit(loop_); });
    thread_.join();
}

void GtkHost::Post(std::function<void()> work) {
    // Always through the queue: GLib would run the work on the calling thread whenever it could take the
    // context itself.
    GSource* source = g_idle_source_new();
    g_source_set_priority(source, G_PRIORITY_DEFAULT);
    g_source_set_callback(source, RunPosted, new std::function<void()>(std::move(work)), FreePosted);
    g_source_attach(source, context_);
    g_source_unref(source);
}

HostWindow* GtkHost::Find(HWND hwnd) {
    auto it = windows_.find(hwnd);
    return it != windows_.end() ? it->second.get() : nullptr;
}

void GtkHost::Sync(HWND hwnd) {
    win32::TopLevelDescription description;
    if (!win32::DescribeTopLevel(hwnd, description)) {
        Destroy(hwnd);
        return;
    }
    HostWindow* window = Find(hwnd);
    if (!window) {
        if (!description.visible)
            return;
        HostWindow* owner = Find(description.owner);
        auto made = CreateHostWindow(*this, hwnd, description, owner ? GTK_WINDOW(owner->window) : nullptr);
        window = made.get();
        windows_[hwnd] = std::move(made);
    }
    PlaceHostWindow(*window, description);
    if (description.visible && !gtk_widget_get_visible(window->window)) {
        gtk_widget_show_all(window->window);
        ApplyCursor(gtk_widget_get_window(window->area));
        if (description.popupMenu) {
            // The menu holds the pointer: a click anywhere, on the desktop too, reaches it (and dismisses it).
            GdkSeat* seat = gdk_display_get_default_seat(gdk_display_get_default());
            window->grabbed =
                gdk_seat_grab(seat, gtk_widget_get_window(window->window), GDK_SEAT_CAPABILITY_ALL_POINTING, TRUE,
                              nullptr, nullptr, nullptr, nullptr) == GDK_GRAB_SUCCESS;
        }
    } else if (!description.visible && gtk_widget_get_visible(window->window)) {
        DestroyHostWindow(*window);
        windows_.erase(hwnd);
        return;
    }
    gtk_widget_queue_draw(window->area);
}

void GtkHost::Destroy(HWND hwnd) {
    if (HostWindow* window = Find(hwnd)) {
        DestroyHostWindow(*window);
        windows_.erase(hwnd);
    }
}

void GtkHost::Redraw() {
    std::map<HWND, RECT> dirty;
    {
        std::lock_guard guard(dirtyLock_);
        dirty.swap(dirty_);
        redrawQueued_ = false;
    }
    // Only what changed is copied and drawn again (a page of a list, not the whole main window).
    for (const auto& [hwnd, changed] : dirty) {
        HostWindow* window = Find(hwnd);
        if (!window)
            continue;
        const RECT& shown = window->description.shown;
        RECT part;
        if (IntersectRect(&part, &changed, &shown))
            gtk_widget_queue_draw_area(window->area, part.left - shown.left, part.top - shown.top,
                                       part.right - part.left, part.bottom - part.top);
    }
}

void GtkHost::ApplyCursor(GdkWindow* window) {
    if (!window)
        return;
    GdkCursor* cursor = gdk_cursor_new_from_name(gdk_window_get_display(window), DesktopCursorName(cursor_));
    gdk_window_set_cursor(window, cursor);
    if (cursor)
        g_object_unref(cursor);
}

void GtkHost::Shown(HWND hwnd, bool) {
    Post([this, hwnd] { Sync(hwnd); });
}

void GtkHost::Moved(HWND hwnd, const RECT&) {
    Post([this, hwnd] { Sync(hwnd); });
}

void GtkHost::Retitled(HWND hwnd, const std::string& title) {
    Post([hwnd, this, title = Utf8FromAnsi(title)] {
        if (HostWindow* window = Find(hwnd))
            gtk_window_set_title(GTK_WINDOW(window->window), title.c_str());
    });
}

void GtkHost::PictureChanged(HWND hwnd, const RECT& changed) {
    // Paints come in bursts (every control of a window paints on its own): one redraw takes them all.
    {
        std::lock_guard guard(dirtyLock_);
        auto [it, added] = dirty_.try_emplace(hwnd, changed);
        if (!added)
            UnionRect(&it->second, &it->second, &changed);
        if (redrawQueued_)
            return;
        redrawQueued_ = true;
    }
    Post([this] { Redraw(); });
}

void GtkHost::Destroyed(HWND hwnd) {
    Post([this, hwnd] { Destroy(hwnd); });
}

void GtkHost::CursorChanged(const std::string& name) {
    Post([this, name] {
        cursor_ = name;
        for (auto& [hwnd, window] : windows_)
            ApplyCursor(gtk_widget_get_window(window->area));
    });
}

void GtkHost::ClipboardChanged(const std::string& text) {
    Post([text = Utf8FromAnsi(text)] {
        gtk_clipboard_set_text(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD), text.c_str(), -1);
    });
}

INT_PTR GtkHost::Run(const win32::ModalRequest& request, HWND window, win32::ModalLoop& loop) {
    if (window)
        return loop.Run(); // the box, dialog or menu is a window of its own, shown like any other
    switch (request.kind) {
    case win32::ModalKind::File: return RunFileRequest(*this, request, loop);
    case win32::ModalKind::Font: return RunFontRequest(*this, request, loop);
    case win32::ModalKind::PrintSetup: return RunPrintSetupRequest(*this, request, loop);
    default: return loop.Run();
    }
}

win32::DesktopExecution GtkHost::Execute(const win32::ShellExecution& execution) {
    const bool open = execution.verb.empty() || strcasecmp(execution.verb.c_str(), "open") == 0;
    if (!open || !IsWebAddress(execution.file))
        return win32::DesktopExecution::LeftToShell; // files stay with the shell stand-in
    gchar* argv[] = {const_cast<gchar*>("xdg-open"), const_cast<gchar*>(execution.file.c_str()), nullptr};
    return g_spawn_async(nullptr, argv, nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr, nullptr, nullptr)
               ? win32::DesktopExecution::Started
               : win32::DesktopExecution::NoHandler;
}

bool AttachDisplayHost() {
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0')
        return false;
    std::lock_guard guard(g_attachLock);
    if (g_host)
        return true;
    // GTK's settings (the file chooser keeps its own) stay in the program's memory unless the person chose a
    // back end: the desktop's store may not answer, and each failed write would be a warning on the terminal.
    setenv("GSETTINGS_BACKEND", "memory", 0);
    auto* host = new GtkHost;
    if (!host->Start()) {
        delete host;
        return false;
    }
    g_host = host;
    return true;
}

void DetachDisplayHost() {
    std::lock_guard guard(g_attachLock);
    delete g_host;
    g_host = nullptr;
}

} // namespace display
