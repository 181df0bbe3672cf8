// What the toolkit's window tests share: the application object, an owner window that records the toolkit's
// notifications, pixel counting over a client rectangle, and where pictures go.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "afxwin.h"
#include "tests/support/UiFixture.h"

namespace gk_test {

struct Notification {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// A top-level window that records the property grid's notifications.
class COwnerWnd : public CWnd {
public:
    std::vector<Notification> m_notifications;
    LRESULT OnGridNotify(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()
};

class GkWindowTest : public tdl::test::UiTest {
protected:
    CWinApp m_app{"Tindaloft"};
};

// The picture of a window's top-level window as it is now, saved as a PNG (at PicturePath(name)) and read
// back, so that many pixels are read from one picture.
class Picture {
public:
    Picture(HWND hwnd, const std::string& name);
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

bool IsReddish(COLORREF clr);
bool IsDark(COLORREF clr);
// A path for a picture of this test: the temporary folder, or TDL_PICTURE_DIR when set.
std::string PicturePath(const std::string& name);

} // namespace gk_test
