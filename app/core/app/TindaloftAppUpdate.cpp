// CTindaloftApp: the update check's start, the wait of the on-demand check, and how the answer is judged.
#include <cstring>
#include <memory>

#include "app/core/app/TindaloftApp.h"
#include "app/core/update/UpdateServer.h"
#include "app/ui/dialogs/CheckUpdateDlg.h"
#include "app/ui/dialogs/PlainMessage.h"

namespace {

// Which installation asks: the standard one.
constexpr char kInstallationText[] = "std";
constexpr char kAnswerPrefix[] = "Tindaloft ";

constexpr char kNoNewerUpdate[] = "No newer update available.";
constexpr char kUnexpectedResponse[] = "Unexpected response from server, please try again.";
constexpr char kUpdateTimeout[] = "Timeout trying to access server.";

} // namespace

CString CTindaloftApp::BuildUpdateQuery() const {
    CString query;
    query.Format("Tindaloft-%d.%d.%d.%d-%s-%s-%s", m_nVersionMajor, m_nVersionMinor, m_nVersionRevision,
                 m_nVersionBuild, kInstallationText, m_OSVersion.GetDescription().GetString(),
                 COSVersion::ArchitectureName(m_OSVersion.GetArchitecture()));
    return query;
}

CString CTindaloftApp::GetVersionText() const {
    CString text;
    text.Format("%d.%d.%d Build %d", m_nVersionMajor, m_nVersionMinor, m_nVersionRevision, m_nVersionBuild);
    return text;
}

void CTindaloftApp::StartUpdateCheck() {
    CUpdateBlock& block = *m_pUpdate;
    block.m_bUpdateCheckRunning.store(TRUE, std::memory_order_relaxed);
    block.m_bUpdateResponseReceived.store(FALSE, std::memory_order_relaxed);
    std::memset(block.m_szUpdateResponse, 0, sizeof block.m_szUpdateResponse);
    std::memset(block.m_szUpdateQuery, 0, sizeof block.m_szUpdateQuery);
    const CString query = BuildUpdateQuery();
    ::MultiByteToWideChar(CP_ACP, 0, query, -1, block.m_szUpdateQuery, static_cast<int>(CUpdateBlock::QueryLength - 1));
    block.m_szUpdateQuery[CUpdateBlock::QueryLength - 1] = u'\0';

    // The worker takes its share of the block with it.
    auto pShared = std::make_unique<std::shared_ptr<CUpdateBlock>>(m_pUpdate);
    if (AfxBeginThread(UpdateCheckThreadProc, pShared.get()) != nullptr) {
        pShared.release();
    } else {
        // No worker: the check ended without an answer.
        block.m_bUpdateCheckRunning.store(FALSE, std::memory_order_release);
    }
}

void CTindaloftApp::ShowUpdateResult(BOOL bLoud) {
    const CUpdateBlock& block = *m_pUpdate;
    if (block.IsRunning()) {
        return;
    }
    if (!block.m_bUpdateResponseReceived.load(std::memory_order_relaxed)) {
        if (bLoud) {
            CString message;
            message.Format("Unable to connect to %s.", kUpdateServerHost);
            ShowPlainMessage(message, MB_OK);
        }
        return;
    }
    const CString response(block.m_szUpdateResponse);
    const int nPrefix = static_cast<int>(std::strlen(kAnswerPrefix));
    if (response.GetLength() < nPrefix || response.Left(nPrefix) != kAnswerPrefix) {
        if (bLoud) {
            ShowPlainMessage(kUnexpectedResponse, MB_OK);
        }
        return;
    }
    const CString latest = response.Mid(nPrefix);
    const CString installed = GetVersionText();
    if (latest != installed) {
        CheckUpdateDlg dlg;
        dlg.m_strLatestVersion = latest;
        dlg.m_strInstalledVersion = installed;
        dlg.DoModal();
    } else if (bLoud) {
        ShowPlainMessage(kNoNewerUpdate, MB_OK);
    }
}

void CTindaloftApp::OnHelpCheckUpdate() {
    if (m_pUpdate->IsRunning()) {
        return;
    }
    // The start-up check's result no longer pops up later.
    m_pUpdate->m_bUpdateResultShown = TRUE;
    BOOL bEnded = FALSE;
    {
        CWaitCursor wait;
        StartUpdateCheck();
        for (int step = 0; step < UpdateWaitSteps && m_pUpdate->IsRunning(); ++step) {
            ::Sleep(UpdateWaitStep);
        }
        bEnded = !m_pUpdate->IsRunning();
    }
    if (bEnded) {
        ShowUpdateResult(TRUE);
    } else {
        // The worker goes on; its late answer is not shown.
        ShowPlainMessage(kUpdateTimeout, MB_OK);
    }
}

void CTindaloftApp::OnUpdateHelpCheckUpdate(CCmdUI* pCmdUI) {
    CWnd* pMainWnd = AfxGetMainWnd();
    pCmdUI->Enable(pMainWnd != nullptr && pMainWnd->GetSafeHwnd() != nullptr);
}

void CTindaloftApp::OnUpdateResult() {
    ShowUpdateResult(FALSE);
}
