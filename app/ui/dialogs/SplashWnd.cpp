#include "app/ui/dialogs/SplashWnd.h"

#include <cstdio>

#include "app/core/app/Resource.h"
#include "app/core/system/FileVersionInfo.h"

CSplashWnd::~CSplashWnd() {
    Close();
}

BOOL CSplashWnd::Create(CWnd* pParent) {
    return CDialog::Create(IDD_SPLASH, pParent);
}

void CSplashWnd::Close() {
    if (m_hWnd == nullptr) {
        return;
    }
    ShowWindow(SW_HIDE);
    DestroyWindow();
}

BOOL CSplashWnd::OnInitDialog() {
    CDialog::OnInitDialog();
    CenterWindow();
    if (m_BigIcon.SubclassDlgItem(IDC_BIGICON, this)) {
        m_BigIcon.SizeToContent();
    }
    // The file version "a,b,c,d": the release is its first three numbers.
    const CFileVersionInfo info(nullptr);
    int numbers[3] = {0, 0, 0};
    std::sscanf(info.GetFileVersion().GetString(), "%d,%d,%d", &numbers[0], &numbers[1], &numbers[2]);
    CString release;
    release.Format("Tindaloft Release %d.%d.%d", numbers[0], numbers[1], numbers[2]);
    SetDlgItemTextA(m_hWnd, IDC_SPLASH_RELEASE, release);
    return TRUE;
}
