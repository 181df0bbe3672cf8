#include "app/ui/dialogs/SupportAndFeedbackDlg.h"

#include <algorithm>
#include <iterator>

#include "app/core/app/Resource.h"
#include "app/core/app/SupportAddress.h"
#include "app/core/app/TindaloftApp.h"
#include "app/core/system/FileVersionInfo.h"
#include "shellapi.h"

namespace {

constexpr char kLaunchFailed[] = "Failed to launch email client - ";

// A subject as a mailto address carries it: every byte beyond the unreserved ones percent-escaped.
CString EscapeMailField(const CString& text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    CString escaped;
    for (int i = 0; i < text.GetLength(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
            c == '_' || c == '~') {
            escaped += static_cast<char>(c);
        } else {
            escaped += '%';
            escaped += kHex[c >> 4];
            escaped += kHex[c & 0xF];
        }
    }
    return escaped;
}

} // namespace

CString SupportFacts(const CString& strFileVersion, const DRIVER_INFO& driverInfo, const CString& strWindows,
                     int (&anVersion)[4]) {
    std::fill(std::begin(anVersion), std::end(anVersion), 0);
    SplitVersionNumbers(strFileVersion, anVersion);
    CString program;
    program.Format("Tindaloft Version %d.%d.%d Build %d\r\n", anVersion[0], anVersion[1], anVersion[2], anVersion[3]);
    CString driver;
    driver.Format("KxTdloft Version %d.%d.%d Build %d\r\n", driverInfo.MajorVersion, driverInfo.MinorVersion,
                  driverInfo.Revision, driverInfo.Build);
    return program + driver + strWindows;
}

CString SupportMailAddress(const int (&anVersion)[4]) {
    CString subject;
    subject.Format("Tindaloft %d.%d.%d Build %d Support and Feedback", anVersion[0], anVersion[1], anVersion[2],
                   anVersion[3]);
    return CString("mailto:") + kSupportAddress + "?subject=" + EscapeMailField(subject);
}

CSupportAndFeedbackDlg::CSupportAndFeedbackDlg(CWnd* pParent) : CDialog(IDD_SUPPORT_FEEDBACK, pParent) {}

BOOL CSupportAndFeedbackDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    DRIVER_INFO driverInfo{};
    CString strWindows;
    if (const auto* pApp = dynamic_cast<CTindaloftApp*>(AfxGetApp()); pApp != nullptr) {
        driverInfo = pApp->m_DriverInfo;
        strWindows = pApp->m_OSVersion.GetDescription();
    }
    const CFileVersionInfo versionInfo(nullptr);
    SetDlgItemTextA(m_hWnd, IDC_SUPPORT_FACTS,
                    SupportFacts(versionInfo.GetFileVersion(), driverInfo, strWindows, m_anVersion));
    return TRUE;
}

void CSupportAndFeedbackDlg::OnOK() {
    const INT_PTR nResult = reinterpret_cast<INT_PTR>(
        ::ShellExecuteA(m_hWnd, "open", SupportMailAddress(m_anVersion), nullptr, nullptr, SW_SHOWNORMAL));
    if (nResult >= 33) {
        return;
    }
    CString message;
    switch (nResult) {
    case SE_ERR_ACCESSDENIED: message = CString(kLaunchFailed) + "access denied"; break;
    case SE_ERR_NOASSOC: message = CString(kLaunchFailed) + "no file association"; break;
    default: message.Format("%serror(%d)", kLaunchFailed, static_cast<int>(nResult)); break;
    }
    AfxMessageBox(message, MB_OK | MB_ICONEXCLAMATION);
    // The dialog stays open: the user may copy the facts into a mail of their own.
}
