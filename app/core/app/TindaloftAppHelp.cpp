// CTindaloftApp: the Help menu's help commands, the About box, support and feedback, and the help topic of a
// captured request.
#include <cstring>

#include "app/core/app/HelpContext.h"
#include "app/core/app/TindaloftApp.h"
#include "app/core/system/ProgramFolder.h"
#include "app/ui/dialogs/AboutDlg.h"
#include "app/ui/dialogs/PlainMessage.h"
#include "app/ui/dialogs/SupportAndFeedbackDlg.h"
#include "htmlhelp.h"
#include "shellapi.h"

namespace {

constexpr char kHelpFileName[] = "Tindaloft.chm";
constexpr char kNoHelpFileMessage[] = "Could not find help file (Tindaloft.chm)";
// ShellExecute's results up to this one are failures.
constexpr INT_PTR kLastShellError = 32;

} // namespace

void CTindaloftApp::OnAppAbout() {
    CAboutDlg dlg;
    dlg.DoModal();
}

void CTindaloftApp::OnHelpSupport() {
    CSupportAndFeedbackDlg dlg;
    dlg.DoModal();
}

void CTindaloftApp::OnHelpContents() {
    if (!m_Settings.IndependentHtmlHelp) {
        HtmlHelp(0, HH_DISPLAY_TOC);
        return;
    }
    CWnd* pMainWnd = AfxGetMainWnd();
    const CString path = GetProgramFolder() + kHelpFileName;
    const auto result = reinterpret_cast<INT_PTR>(
        ::ShellExecuteA(pMainWnd != nullptr ? pMainWnd->GetSafeHwnd() : nullptr, "open", path, "", "", SW_SHOWNORMAL));
    if (result <= kLastShellError) {
        ShowPlainMessage(kNoHelpFileMessage, MB_OK);
    }
}

void CTindaloftApp::OnUpdateHelpContents(CCmdUI* pCmdUI) {
    pCmdUI->Enable(TRUE);
}

void CTindaloftApp::OnHelpIndex() {
    HtmlHelp(0, HH_DISPLAY_INDEX);
}

void CTindaloftApp::OnHelpSearch() {
    HH_FTS_QUERY query;
    std::memset(&query, 0, sizeof query);
    query.cbStruct = sizeof query;
    HtmlHelp(reinterpret_cast<DWORD_PTR>(&query), HH_DISPLAY_SEARCH);
}

void CTindaloftApp::ShowHelpForCode(UINT nGroup, ULONG nCode) {
    const DWORD dwContext = HelpContextForCode(nGroup, nCode);
    if (dwContext != 0) {
        HtmlHelp(dwContext, HH_HELP_CONTEXT);
    }
}
