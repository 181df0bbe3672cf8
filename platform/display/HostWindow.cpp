// One GTK window per shown top-level window: frames and dialogs framed by the desktop and showing the client
// area (with the menu bar), pop-ups undecorated and whole at their screen places; the picture drawn one model
// pixel per screen pixel; the person's input turned into the window system's input entries, and told to the
// input observer. Host thread only.
#include "platform/display/GtkHost.h"

#include <gdk/gdkkeysyms.h>

#include "WinInput.h"
#include "WinMessages.h"
#include "WinUser.h"
#include "platform/display/HostKeys.h"
#include "platform/display/InputObserver.h"

namespace display {

namespace {

int Width(const RECT& r) {
    return r.right - r.left;
}

int Height(const RECT& r) {
    return r.bottom - r.top;
}

// A point of the shown area as a point of the model window's client area.
POINT ClientPoint(const HostWindow& w, double x, double y) {
    const win32::TopLevelDescription& d = w.description;
    return POINT{static_cast<LONG>(x) + d.shown.left - d.clientOrigin.x,
                 static_cast<LONG>(y) + d.shown.top - d.clientOrigin.y};
}

// The same for an event of any window: one the area got is placed by its own coordinates, one a pop-up menu's
// hold on the pointer brought from another window by its place on the screen.
POINT EventPoint(const HostWindow& w, GdkWindow* window, double x, double y, double rootX, double rootY) {
    if (window == gtk_widget_get_window(w.area))
        return ClientPoint(w, x, y);
    const win32::TopLevelDescription& d = w.description;
    return POINT{static_cast<LONG>(rootX) - d.window.left - d.clientOrigin.x,
                 static_cast<LONG>(rootY) - d.window.top - d.clientOrigin.y};
}

WPARAM KeysOf(guint state) {
    WPARAM keys = 0;
    if (state & GDK_SHIFT_MASK)
        keys |= MK_SHIFT;
    if (state & GDK_CONTROL_MASK)
        keys |= MK_CONTROL;
    return keys;
}

bool ButtonOf(guint button, win32::MouseButton& out) {
    switch (button) {
    case 1: out = win32::MouseButton::Left; return true;
    case 2: out = win32::MouseButton::Middle; return true;
    case 3: out = win32::MouseButton::Right; return true;
    default: return false;
    }
}

// Tells the input observer what went to a window.
void Observed(InputEvent::Kind kind, double xRoot, double yRoot, int button = 0, int wheel = 0) {
    InputEvent event;
    event.kind = kind;
    event.x = static_cast<int>(xRoot);
    event.y = static_cast<int>(yRoot);
    event.button = button;
    event.wheel = wheel;
    NotifyInputObserver(event);
}

void ObservedKey(InputEvent::Kind kind, uint8_t vk) {
    InputEvent event;
    event.kind = kind;
    event.virtualKey = vk;
    NotifyInputObserver(event);
}

gboolean OnDraw(GtkWidget*, cairo_t* cr, gpointer data) {
    auto* w = static_cast<HostWindow*>(data);
    const RECT& shown = w->description.shown;
    const int width = Width(shown), height = Height(shown);
    if (width <= 0 || height <= 0)
        return TRUE;
    if (!w->image || cairo_image_surface_get_width(w->image) != width ||
        cairo_image_surface_get_height(w->image) != height) {
        if (w->image)
            cairo_surface_destroy(w->image);
        w->image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    }
    // Only the part asked for (what changed, or what the server lost) is copied: the rest of the image is as
    // it was drawn last.
    const GdkRectangle whole{0, 0, width, height};
    GdkRectangle part = whole;
    if (!gdk_cairo_get_clip_rectangle(cr, &part) || !gdk_rectangle_intersect(&part, &whole, &part))
        return TRUE;
    cairo_surface_flush(w->image);
    // The picture as it stands: the window's thread painted it, or will and say so.
    const int stride = cairo_image_surface_get_stride(w->image);
    unsigned char* at = cairo_image_surface_get_data(w->image) + static_cast<ptrdiff_t>(part.y) * stride + part.x * 4;
    const RECT area{shown.left + part.x, shown.top + part.y, shown.left + part.x + part.width,
                    shown.top + part.y + part.height};
    win32::CopyPicture(w->hwnd, area, reinterpret_cast<uint32_t*>(at), stride);
    cairo_surface_mark_dirty_rectangle(w->image, part.x, part.y, part.width, part.height);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, w->image, 0, 0);
    cairo_paint(cr);
    return TRUE;
}

// The window a press or release goes to: the model's window the desktop gave it, or, when the model has taken
// that window away already (a pop-up menu that closed while the desktop still held the pointer for it), the
// window under the point now.
HWND ButtonTarget(const HostWindow& w, POINT& point) {
    if (IsWindow(w.hwnd))
        return w.hwnd;
    const win32::TopLevelDescription& d = w.description;
    POINT screen{d.window.left + d.clientOrigin.x + point.x, d.window.top + d.clientOrigin.y + point.y};
    HWND under = WindowFromPoint(screen);
    if (!under || !ScreenToClient(under, &screen))
        return w.hwnd;
    point = screen;
    return under;
}

gboolean OnButton(GtkWidget*, GdkEventButton* event, gpointer data) {
    auto* w = static_cast<HostWindow*>(data);
    win32::MouseButton button;
    // The model makes its own double-clicks out of two presses.
    if ((event->type != GDK_BUTTON_PRESS && event->type != GDK_BUTTON_RELEASE) || !ButtonOf(event->button, button))
        return TRUE;
    POINT point = EventPoint(*w, event->window, event->x, event->y, event->x_root, event->y_root);
    HWND target = ButtonTarget(*w, point);
    const bool press = event->type == GDK_BUTTON_PRESS;
    if (press)
        win32::MouseDown(target, point, button, KeysOf(event->state));
    else
        win32::MouseUp(target, point, button, KeysOf(event->state));
    Observed(press ? InputEvent::Kind::ButtonDown : InputEvent::Kind::ButtonUp, event->x_root, event->y_root,
             static_cast<int>(event->button));
    return TRUE;
}

gboolean OnMotion(GtkWidget*, GdkEventMotion* event, gpointer data) {
    auto* w = static_cast<HostWindow*>(data);
    win32::MouseMove(w->hwnd, EventPoint(*w, event->window, event->x, event->y, event->x_root, event->y_root),
                     KeysOf(event->state));
    Observed(InputEvent::Kind::PointerMoved, event->x_root, event->y_root);
    return TRUE;
}

gboolean OnLeave(GtkWidget*, GdkEventCrossing* event, gpointer) {
    if (event->mode == GDK_CROSSING_NORMAL && event->detail != GDK_NOTIFY_INFERIOR) {
        win32::MouseLeave();
        Observed(InputEvent::Kind::PointerLeft, event->x_root, event->y_root);
    }
    return FALSE;
}

gboolean OnScroll(GtkWidget*, GdkEventScroll* event, gpointer data) {
    auto* w = static_cast<HostWindow*>(data);
    int delta = 0;
    if (event->direction == GDK_SCROLL_UP)
        delta = WHEEL_DELTA;
    else if (event->direction == GDK_SCROLL_DOWN)
        delta = -WHEEL_DELTA;
    if (delta) {
        win32::MouseWheel(w->hwnd, ClientPoint(*w, event->x, event->y), delta, KeysOf(event->state));
        Observed(InputEvent::Kind::Wheel, event->x_root, event->y_root, 0, delta / WHEEL_DELTA);
    }
    return TRUE;
}

// The key's virtual key on an unshifted keyboard (what a US keyboard's key codes name).
uint8_t BaseVirtualKey(const GdkEventKey* event) {
    guint base = 0;
    GdkKeymap* keymap = gdk_keymap_get_for_display(gdk_window_get_display(event->window));
    if (!gdk_keymap_translate_keyboard_state(keymap, event->hardware_keycode, static_cast<GdkModifierType>(0),
                                             event->group, &base, nullptr, nullptr, nullptr))
        base = event->keyval;
    const uint8_t vk = VirtualKeyOf(base);
    return vk ? vk : VirtualKeyOf(event->keyval);
}

gboolean OnKey(GtkWidget*, GdkEventKey* event, gpointer data) {
    auto* w = static_cast<HostWindow*>(data);
    const guint16 code = event->hardware_keycode & 0xFF;
    if (event->type == GDK_KEY_RELEASE) {
        if (const unsigned vk = w->pressedKeys[code]) {
            win32::KeyUp(w->hwnd, static_cast<BYTE>(vk));
            w->pressedKeys[code] = 0;
            ObservedKey(InputEvent::Kind::KeyUp, static_cast<uint8_t>(vk));
        }
        return TRUE;
    }
    const uint8_t vk = BaseVirtualKey(event);
    const gunichar typed = gdk_keyval_to_unicode(event->keyval);
    const bool command = (event->state & (GDK_CONTROL_MASK | GDK_MOD1_MASK)) != 0;
    const bool shift = (event->state & GDK_SHIFT_MASK) != 0;
    const bool caps = (event->state & GDK_LOCK_MASK) != 0;
    // A key whose US character is what the desktop typed (or a key that types nothing) goes in as a key, and
    // the window system makes its character; a character no US key makes goes in as a character alone.
    const char us = vk ? win32::CharacterOfKey(vk, shift, caps) : 0;
    if (vk && (command || typed == 0 || us == 0 || static_cast<gunichar>(static_cast<unsigned char>(us)) == typed ||
               (us == '\r' && typed == '\n'))) {
        win32::KeyDown(w->hwnd, vk);
        w->pressedKeys[code] = vk;
        ObservedKey(InputEvent::Kind::KeyDown, vk);
        return TRUE;
    }
    if (const int ansi = AnsiCharacterOf(typed); ansi > 0)
        win32::EnterCharacter(w->hwnd, static_cast<BYTE>(ansi));
    return TRUE;
}

gboolean OnFocusIn(GtkWidget*, GdkEventFocus*, gpointer data) {
    win32::ActivateTopLevel(static_cast<HostWindow*>(data)->hwnd);
    return FALSE;
}

gboolean OnConfigure(GtkWidget*, GdkEventConfigure* event, gpointer data) {
    auto* w = static_cast<HostWindow*>(data);
    const win32::TopLevelDescription& d = w->description;
    if (!d.framed || event->width <= 1 || event->height <= 1)
        return FALSE;
    // Where the desktop put the shown area, as the model window's rectangle.
    int x = 0, y = 0;
    gdk_window_get_origin(event->window, &x, &y);
    RECT rect{x - d.shown.left, y - d.shown.top, 0, 0};
    rect.right = rect.left + event->width + Width(d.window) - Width(d.shown);
    rect.bottom = rect.top + event->height + Height(d.window) - Height(d.shown);
    if (rect.left != d.window.left || rect.top != d.window.top || rect.right != d.window.right ||
        rect.bottom != d.window.bottom)
        win32::RequestWindowRect(w->hwnd, rect);
    return FALSE;
}

gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer data) {
    // The desktop's close is the window's own: the model decides whether and when it goes.
    PostMessageA(static_cast<HostWindow*>(data)->hwnd, WM_CLOSE, 0, 0);
    return TRUE;
}

} // namespace

std::unique_ptr<HostWindow> CreateHostWindow(GtkHost& host, HWND hwnd, const win32::TopLevelDescription& description,
                                             GtkWindow* transientFor) {
    auto w = std::make_unique<HostWindow>();
    w->hwnd = hwnd;
    w->description = description;
    const bool framed = description.framed;
    w->window = gtk_window_new(framed ? GTK_WINDOW_TOPLEVEL : GTK_WINDOW_POPUP);
    GtkWindow* window = GTK_WINDOW(w->window);
    gtk_window_set_title(window, Utf8FromAnsi(description.title).c_str());
    // Placed by where its content lies, whatever frame the desktop adds around it.
    gtk_window_set_gravity(window, GDK_GRAVITY_STATIC);
    if (transientFor)
        gtk_window_set_transient_for(window, transientFor);
    if (framed) {
        const bool sizable = (description.style & WS_THICKFRAME) != 0;
        gtk_window_set_resizable(window, sizable);
        if ((description.style & WS_CHILD) == 0 && (description.style & WS_POPUP))
            gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_DIALOG);
    } else {
        gtk_window_set_type_hint(window, description.popupMenu ? GDK_WINDOW_TYPE_HINT_POPUP_MENU
                                                               : GDK_WINDOW_TYPE_HINT_TOOLTIP);
    }
    w->area = gtk_drawing_area_new();
    gtk_widget_set_can_focus(w->area, TRUE);
    gtk_widget_add_events(w->area, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK |
                                       GDK_LEAVE_NOTIFY_MASK | GDK_SCROLL_MASK | GDK_KEY_PRESS_MASK |
                                       GDK_KEY_RELEASE_MASK | GDK_FOCUS_CHANGE_MASK);
    gtk_container_add(GTK_CONTAINER(w->window), w->area);
    HostWindow* self = w.get();
    g_signal_connect(w->area, "draw", G_CALLBACK(OnDraw), self);
    g_signal_connect(w->area, "button-press-event", G_CALLBACK(OnButton), self);
    g_signal_connect(w->area, "button-release-event", G_CALLBACK(OnButton), self);
    g_signal_connect(w->area, "motion-notify-event", G_CALLBACK(OnMotion), self);
    g_signal_connect(w->area, "leave-notify-event", G_CALLBACK(OnLeave), self);
    g_signal_connect(w->area, "scroll-event", G_CALLBACK(OnScroll), self);
    if (description.popupMenu) {
        // The menu holds the pointer: presses and moves outside it come to its window, not to its area.
        gtk_widget_add_events(w->window, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK);
        g_signal_connect(w->window, "button-press-event", G_CALLBACK(OnButton), self);
        g_signal_connect(w->window, "button-release-event", G_CALLBACK(OnButton), self);
        g_signal_connect(w->window, "motion-notify-event", G_CALLBACK(OnMotion), self);
    }
    g_signal_connect(w->window, "key-press-event", G_CALLBACK(OnKey), self);
    g_signal_connect(w->window, "key-release-event", G_CALLBACK(OnKey), self);
    g_signal_connect(w->window, "focus-in-event", G_CALLBACK(OnFocusIn), self);
    g_signal_connect(w->window, "configure-event", G_CALLBACK(OnConfigure), self);
    g_signal_connect(w->window, "delete-event", G_CALLBACK(OnDelete), self);
    // Placed before it is made on the server, so that it maps where the model window lies.
    PlaceHostWindow(*w, description);
    (void)host;
    return w;
}

void PlaceHostWindow(HostWindow& w, const win32::TopLevelDescription& description) {
    w.description = description;
    GtkWindow* window = GTK_WINDOW(w.window);
    const int width = std::max(1, Width(description.shown)), height = std::max(1, Height(description.shown));
    gtk_window_set_title(window, Utf8FromAnsi(description.title).c_str());
    if (!gtk_window_get_resizable(window))
        gtk_widget_set_size_request(w.area, width, height);
    gtk_window_resize(window, width, height);
    gtk_window_move(window, description.window.left + description.shown.left,
                    description.window.top + description.shown.top);
}

void DestroyHostWindow(HostWindow& w) {
    if (w.grabbed)
        gdk_seat_ungrab(gdk_display_get_default_seat(gdk_display_get_default()));
    w.grabbed = false;
    if (w.window)
        gtk_widget_destroy(w.window);
    w.window = w.area = nullptr;
    if (w.image)
        cairo_surface_destroy(w.image);
    w.image = nullptr;
}

} // namespace display
