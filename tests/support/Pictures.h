// Pictures of windows for the suites: where they go, and pixel reads from them. Every picture a test saves goes
// into one folder, TDL_PICTURE_DIR when set (scripts/test.sh sets it), else the test's temporary folder.
#pragma once

#include <functional>
#include <string>

#include "windows.h"

namespace tdl::test {

// The path a picture named fileName ("log_details.png") takes in the picture folder; a name that is not
// "name.png" fails the test.
std::string PicturePath(const std::string& fileName);

// Saves the picture of hwnd's top-level window, composed with its children, as PicturePath(fileName).
bool SavePicture(HWND hwnd, const std::string& fileName);

// The picture of a window's top-level window as it is now, saved (at PicturePath(fileName)) and read back, so
// that many pixels are read from one picture.
class Picture {
public:
    Picture(HWND hwnd, const std::string& fileName);
    ~Picture();
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    bool IsValid() const { return m_pSurface != nullptr; }
    // A pixel at a client point of the window; CLR_INVALID outside the picture.
    COLORREF Client(int x, int y) const;
    // How many pixels within rect (client coordinates) satisfy the test.
    int Count(const RECT& rect, const std::function<bool(COLORREF)>& test) const;

private:
    void* m_pSurface = nullptr;
    POINT m_origin{0, 0}; // the window's client origin in the picture
};

// Saves what a screen would show of `area` (screen coordinates) as PicturePath(fileName): the calling thread's
// visible top-level windows, each as its picture stands, in their order on the screen over the desktop's colour.
bool SaveScreenPicture(const RECT& area, const std::string& fileName);

bool IsReddish(COLORREF clr);
bool IsDark(COLORREF clr);

} // namespace tdl::test
