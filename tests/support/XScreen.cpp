#include "tests/support/XScreen.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <cairo.h>

#include <cstring>
#include <thread>

namespace tdl::test {

namespace {

Display* Dpy(void* display) {
    return static_cast<Display*>(display);
}

std::string TitleOf(Display* display, Window window) {
    XTextProperty property{};
    std::string title;
    if (XGetWMName(display, window, &property) && property.value) {
        title.assign(reinterpret_cast<const char*>(property.value), property.nitems);
        XFree(property.value);
    }
    return title;
}

// While it lives, errors of X requests are ignored: a window may go between the listing of the root's children
// and the questions about it. Pending errors are taken before the previous handler comes back.
class IgnoredErrors {
public:
    explicit IgnoredErrors(Display* display)
        : m_display(display), m_previous(XSetErrorHandler([](Display*, XErrorEvent*) { return 0; })) {}
    ~IgnoredErrors() {
        XSync(m_display, False);
        XSetErrorHandler(m_previous);
    }
    IgnoredErrors(const IgnoredErrors&) = delete;
    IgnoredErrors& operator=(const IgnoredErrors&) = delete;

private:
    Display* m_display;
    XErrorHandler m_previous;
};

} // namespace

XScreen::XScreen() : m_display(XOpenDisplay(nullptr)) {}

XScreen::~XScreen() {
    if (m_display)
        XCloseDisplay(Dpy(m_display));
}

void XScreen::Flush() {
    XSync(Dpy(m_display), False);
}

std::vector<uint32_t> XScreen::Read(const RECT& rect) const {
    Display* display = Dpy(m_display);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    XImage* image = XGetImage(display, DefaultRootWindow(display), rect.left, rect.top, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (!image)
        return {};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels[static_cast<size_t>(y) * width + x] = static_cast<uint32_t>(XGetPixel(image, x, y)) & 0x00FFFFFF;
    XDestroyImage(image);
    return pixels;
}

bool XScreen::SavePng(const std::vector<uint32_t>& pixels, int width, const std::string& path) {
    const int height = width > 0 ? static_cast<int>(pixels.size()) / width : 0;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < height; ++y)
        std::memcpy(data + static_cast<size_t>(y) * stride, pixels.data() + static_cast<size_t>(y) * width,
                    static_cast<size_t>(width) * 4);
    cairo_surface_mark_dirty(surface);
    const bool written = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return written;
}

unsigned long XScreen::FindWindow(const std::string& title) const {
    Display* display = Dpy(m_display);
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
        return 0;
    Window found = 0;
    IgnoredErrors ignored(display);
    for (unsigned i = 0; i < count && !found; ++i) {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(display, children[i], &attributes) && attributes.map_state == IsViewable &&
            TitleOf(display, children[i]).find(title) != std::string::npos)
            found = children[i];
    }
    if (children)
        XFree(children);
    return found;
}

RECT XScreen::WindowRect(unsigned long window) const {
    Display* display = Dpy(m_display);
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, window, &attributes);
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
    return RECT{x, y, x + attributes.width, y + attributes.height};
}

void XScreen::MoveTo(POINT root) {
    XTestFakeMotionEvent(Dpy(m_display), -1, root.x, root.y, CurrentTime);
    Flush();
}

void XScreen::Click(POINT root, unsigned button) {
    MoveTo(root);
    XTestFakeButtonEvent(Dpy(m_display), button, True, CurrentTime);
    XTestFakeButtonEvent(Dpy(m_display), button, False, CurrentTime);
    Flush();
}

void XScreen::Key(unsigned long keysym, bool shift) {
    Display* display = Dpy(m_display);
    const KeyCode shiftCode = XKeysymToKeycode(display, XK_Shift_L);
    const KeyCode code = XKeysymToKeycode(display, keysym);
    if (shift)
        XTestFakeKeyEvent(display, shiftCode, True, CurrentTime);
    XTestFakeKeyEvent(display, code, True, CurrentTime);
    XTestFakeKeyEvent(display, code, False, CurrentTime);
    if (shift)
        XTestFakeKeyEvent(display, shiftCode, False, CurrentTime);
    Flush();
}

void XScreen::KeyWith(unsigned long modifier, unsigned long keysym) {
    Display* display = Dpy(m_display);
    const KeyCode held = XKeysymToKeycode(display, modifier);
    const KeyCode code = XKeysymToKeycode(display, keysym);
    XTestFakeKeyEvent(display, held, True, CurrentTime);
    XTestFakeKeyEvent(display, code, True, CurrentTime);
    XTestFakeKeyEvent(display, code, False, CurrentTime);
    XTestFakeKeyEvent(display, held, False, CurrentTime);
    Flush();
}

void XScreen::Type(const std::string& text) {
    for (char c : text) {
        if (c >= 'A' && c <= 'Z')
            Key(XK_a + (c - 'A'), true);
        else if (c >= 'a' && c <= 'z')
            Key(XK_a + (c - 'a'));
        else if (c >= '0' && c <= '9')
            Key(XK_0 + (c - '0'));
        else if (c == '.')
            Key(XK_period);
    }
}

bool XScreen::Settled(unsigned long window) {
    RECT before{};
    std::vector<uint32_t> shown;
    int still = 0;
    return WaitUntil([&] {
        const RECT now = WindowRect(window);
        std::vector<uint32_t> pixels = Read(now);
        const bool same = !pixels.empty() && pixels == shown && std::memcmp(&now, &before, sizeof now) == 0;
        still = same ? still + 1 : 0;
        before = now;
        shown = std::move(pixels);
        return still >= 20; // 200 ms without a change
    });
}

bool XScreen::ReadyForKeys(unsigned long window) {
    if (!Settled(window))
        return false;
    Display* display = Dpy(m_display);
    const RECT r = WindowRect(window);
    MoveTo({(r.left + r.right) / 2, (r.top + r.bottom) / 2});
    XSetInputFocus(display, window, RevertToParent, CurrentTime);
    Flush();
    // The toolkit may hand the focus on to a window of its own inside.
    return WaitUntil([&] {
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(display, &focus, &revert);
        for (Window at = focus; at != 0;) {
            if (at == window)
                return true;
            Window root = 0, parent = 0, *children = nullptr;
            unsigned count = 0;
            if (!XQueryTree(display, at, &root, &parent, &children, &count))
                return false;
            if (children)
                XFree(children);
            at = parent == root ? 0 : parent;
        }
        return false;
    });
}

void XScreen::MoveResize(unsigned long window, const RECT& rect) {
    XMoveResizeWindow(Dpy(m_display), window, rect.left, rect.top, static_cast<unsigned>(rect.right - rect.left),
                      static_cast<unsigned>(rect.bottom - rect.top));
    Flush();
}

bool XScreen::ClipboardOffered() const {
    Display* display = Dpy(m_display);
    return XGetSelectionOwner(display, XInternAtom(display, "CLIPBOARD", False)) != None;
}

void XScreen::Close(unsigned long window) {
    Display* display = Dpy(m_display);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    Flush();
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

} // namespace tdl::test
