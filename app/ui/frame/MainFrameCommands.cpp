// CMainFrame: the frame's own commands: Refresh, the stack inspector's help, capture on the next boot, capture
// of hot plugs, and the toolbar tooltips they switch.
#include "GkCommandBars.h"
#include "GkToolBar.h"
#include "app/core/app/Resource.h"
#include "app/core/app/TindaloftApp.h"
#include "app/core/capture/KxTdloft.h"
#include "app/core/diagnostics/Trace.h"
#include "app/core/document/USBLog.h"
#include "app/core/settings/AppSettings.h"
#include "app/devices/AttachedDevices.h"
#include "app/ui/PanePointers.h"
#include "app/ui/frame/MainFrame.h"
#include "app/ui/frame/MainFrameIds.h"
#include "common/ControlCodes.h"
#include "htmlhelp.h"

namespace {

constexpr char kBootLoggingSet[] = "Tindaloft has been configured to capture USB events on next system boot.";
constexpr char kBootLoggingFailed[] = "Tindaloft could not be configured to capture USB events on next system boot.";

// The frame is never smaller than this.
constexpr LONG kMinTrackSize = 200;

CAppSettings* AppSettings() {
    auto* pApp = dynamic_cast<CTindaloftApp*>(AfxGetApp());
    return pApp != nullptr ? &pApp->m_Settings : nullptr;
}

// The loggable device objects of the document's stacks go to the driver as its selection for the next boot,
// after the stored selection is cleared; FALSE at the first step that fails.
BOOL SendBootSelection(CKxTdloft& device, CUSBLog& doc) {
    if (!device.IoctlClearRegistrySettings()) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_MAIN_FRAME, "OnBootLogging: IoctlClearRegistrySettings failed");
        return FALSE;
    }
    BYTE* pList = nullptr;
    DWORD dwSize = 0;
    if (doc.GetAttachedDevices() == nullptr || !doc.GetAttachedDevices()->CreateLogDevobjsList(pList, dwSize, false)) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_MAIN_FRAME, "OnBootLogging: no list of device objects");
        return FALSE;
    }
    if (!device.IoctlSetDevobjFlags(pList, dwSize)) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_MAIN_FRAME, "OnBootLogging: IoctlSetDevobjFlags failed");
        return FALSE;
    }
    return TRUE;
}

} // namespace

CUSBLog* CMainFrame::GetActiveLiveDocument() {
    CUSBLog* pDoc = GetActiveLogDocument();
    return pDoc != nullptr && pDoc->IsRealtimeDocument() ? pDoc : nullptr;
}

void CMainFrame::OnViewRefresh() {
    CPanePointers().DoRefresh(TRUE);
}

void CMainFrame::OnUpdateViewRefresh(CCmdUI* pCmdUI) {
    const CUSBLog* pDoc = GetActiveLiveDocument();
    pCmdUI->Enable(IsPaneVisible(ID_VIEW_DEVICETREE) && pDoc != nullptr && !pDoc->IsLogging());
}

void CMainFrame::OnHelpStackInspector() {
    HtmlHelp(IDH_STACK_INSPECTOR, HH_HELP_CONTEXT);
}

void CMainFrame::OnBootLogging() {
    CAppSettings* pSettings = AppSettings();
    if (pSettings == nullptr)
        return;
    pSettings->CaptureOnceOnBoot = !pSettings->CaptureOnceOnBoot;
    const ULONG dwFlags = MakeBootflagWord(false, pSettings->EnableMiniportHook, pSettings->MemlogFlags);
    CUSBLog* pDoc = GetActiveLiveDocument();
    if (!pSettings->CaptureOnceOnBoot) {
        CKxTdloft device;
        if (pDoc != nullptr && device.TryDeviceOpen()) {
            device.IoctlSetBootLogging(dwFlags);
            device.DeviceClose();
        }
        return;
    }
    // On only when the driver took the whole request: its selection and then the boot flag.
    BOOL bSet = FALSE;
    CKxTdloft device;
    if (pDoc != nullptr && device.TryDeviceOpen()) {
        bSet =
            SendBootSelection(device, *pDoc) &&
            device.IoctlSetBootLogging(MakeBootflagWord(true, pSettings->EnableMiniportHook, pSettings->MemlogFlags));
        device.DeviceClose();
    }
    if (bSet) {
        AfxMessageBox(kBootLoggingSet, MB_ICONINFORMATION);
    } else {
        pSettings->CaptureOnceOnBoot = false;
        AfxMessageBox(kBootLoggingFailed, MB_ICONEXCLAMATION);
    }
}

void CMainFrame::OnUpdateBootLogging(CCmdUI* pCmdUI) {
    const CAppSettings* pSettings = AppSettings();
    const BOOL bOn = pSettings != nullptr && pSettings->CaptureOnceOnBoot;
    pCmdUI->Enable(GetActiveLiveDocument() != nullptr);
    pCmdUI->SetCheck(bOn ? 1 : 0);
    CString text;
    if (AfxLoadString(bOn ? IDS_DISABLE_BOOTLOGGING : IDS_ENABLE_BOOTLOGGING, text))
        pCmdUI->SetText(text);
}

void CMainFrame::OnCaptureHotPlugs() {
    if (CAppSettings* pSettings = AppSettings())
        pSettings->AutoEnable = !pSettings->AutoEnable;
}

void CMainFrame::OnUpdateCaptureHotPlugs(CCmdUI* pCmdUI) {
    const CAppSettings* pSettings = AppSettings();
    const BOOL bOn = pSettings != nullptr && pSettings->AutoEnable;
    pCmdUI->Enable(GetActiveLiveDocument() != nullptr);
    pCmdUI->SetCheck(bOn ? 1 : 0);
    SetToolbarTooltip(ID_CAPTURE_HOTPLUGS, bOn ? IDS_DISABLE_HOTPLUGS : IDS_ENABLE_HOTPLUGS);
}

void CMainFrame::SetToolbarTooltip(UINT nCommand, UINT nStringId) {
    CGkCommandBars* pCommandBars = GetCommandBars();
    if (pCommandBars == nullptr)
        return;
    // The toolbar of resource 128 ("Standard"), not the menu bar of the same resource.
    for (int nBar = 0; nBar < pCommandBars->GetCount(); ++nBar) {
        CGkToolBar* pBar = pCommandBars->GetAt(nBar);
        CGkControl* pControl = pBar->GetBarID() == IDR_MAINFRAME ? pBar->FindControl(nCommand) : nullptr;
        CString text;
        if (pControl != nullptr && AfxLoadString(nStringId, text)) {
            pControl->SetTooltip(text);
            return;
        }
    }
}

void CMainFrame::OnGetMinMaxInfo(MINMAXINFO* lpMMI) {
    CGkMDIFrameWnd::OnGetMinMaxInfo(lpMMI);
    lpMMI->ptMinTrackSize.x = kMinTrackSize;
    lpMMI->ptMinTrackSize.y = kMinTrackSize;
}
