// The X screen as the host's tests see it from outside: what the server shows, the person's mouse and keyboard
// through XTest, and the desktop's close.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "windows.h"

namespace tdl::test {

class XScreen {
public:
    XScreen(); // the display DISPLAY names
    ~XScreen();
    XScreen(const XScreen&) = delete;
    XScreen& operator=(const XScreen&) = delete;

    bool IsOpen() const { return m_display != nullptr; }
    // What the server shows in `rect` (root coordinates), 0x00RRGGBB pixels row by row.
    std::vector<uint32_t> Read(const RECT& rect) const;
    // Saves pixels of a width as a PNG file.
    static bool SavePng(const std::vector<uint32_t>& pixels, int width, const std::string& path);

    // The mapped top-level X window whose title holds `title` (0: none), and its rectangle on the root.
    unsigned long FindWindow(const std::string& title) const;
    RECT WindowRect(unsigned long window) const;

    // XTest: the pointer to a root point, buttons (1 left, 3 right) and keys by key symbol.
    void MoveTo(POINT root);
    void Click(POINT root, unsigned button = 1);
    void Key(unsigned long keysym, bool shift = false);
    // A key pressed while another (a modifier: Alt, Control) is held.
    void KeyWith(unsigned long modifier, unsigned long keysym);
    void Type(const std::string& text); // letters, digits and '.' of a US keyboard
    // Waits until the window has settled: where it lies and what it shows stay the same for a moment (a window
    // still placing or laying itself out may be missed by a click or drop keys). False when it never did.
    bool Settled(unsigned long window);
    // Gives the settled window the keyboard; false when it never settled or took the focus.
    bool ReadyForKeys(unsigned long window);
    // The desktop moves and sizes the window (root coordinates of what it shows).
    void MoveResize(unsigned long window, const RECT& rect);
    // True when some program offers text on the desktop's clipboard.
    bool ClipboardOffered() const;
    // The desktop's close: WM_DELETE_WINDOW to the window.
    void Close(unsigned long window);

private:
    void Flush();
    void* m_display = nullptr;
};

// Waits (pumping nothing) until `done` holds, looking every few milliseconds; false after `limit`.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(20));

} // namespace tdl::test
