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

// How many pixels of the window's picture within rect (client coordinates) satisfy the test.
int CountPixels(HWND hwnd, const RECT& rect, const std::function<bool(COLORREF)>& test);
bool IsReddish(COLORREF clr);
bool IsDark(COLORREF clr);
// A path for a picture of this test: the temporary folder, or TDL_PICTURE_DIR when set.
std::string PicturePath(const std::string& name);

} // namespace gk_test
