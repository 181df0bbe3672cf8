#include "app/core/SplashWnd.h"

#include "app/core/Resource.h"

namespace {

constexpr int kSplashWidth = 400;
constexpr int kSplashHeight = 240;

} // namespace

CSplashWnd::~CSplashWnd() {
    Close();
}

BOOL CSplashWnd::Create(CWnd* pParent) {
    LPCTSTR lpszClass = AfxRegisterWndClass(0);
    return CreateEx(0, lpszClass, "Tindaloft", WS_POPUP | WS_BORDER, 0, 0, kSplashWidth, kSplashHeight,
                    pParent != nullptr ? pParent->m_hWnd : nullptr, nullptr);
}

void CSplashWnd::Close() {
    if (m_hWnd == nullptr) {
        return;
    }
    ShowWindow(SW_HIDE);
    DestroyWindow();
}
