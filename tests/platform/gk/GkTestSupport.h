// What the toolkit's window tests share: the application object, an owner window that records the toolkit's
// notifications. Pictures are the suites' shared ones (tests/support/Pictures.h).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "afxwin.h"
#include "tests/support/Pictures.h"
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

} // namespace gk_test
