// CUSBLog: the document's command table and the rules that enable and check its commands.
#include "app/core/app/Resource.h"
#include "app/core/document/USBLog.h"
#include "app/core/records/LogRecords.h"
#include "app/ui/PanePointers.h"
#include "htmlhelp.h"

// Find (221) and the help topics (214, 215, 217) are enabled by the application; Save and Save As are the
// framework's save, which writes the capture log file.
BEGIN_MESSAGE_MAP(CUSBLog, CDocument)
ON_COMMAND(ID_USB_STARTEVENTCAPTURE, &CUSBLog::OnUsbStarteventcapture)
ON_COMMAND(ID_USB_STOPEVENTCAPTURE, &CUSBLog::OnUsbStopeventcapture)
ON_COMMAND(ID_USB_CLEARCAPTURE, &CUSBLog::OnUsbClearCapture)
ON_COMMAND(ID_USB_CLEARDEVICES, &CUSBLog::OnUsbClearDevices)
ON_COMMAND(ID_EDIT_FILTER, &CUSBLog::OnEditFilter)
ON_COMMAND(ID_EDIT_TRIGGER, &CUSBLog::OnEditTrigger)
ON_COMMAND(ID_OPTIONS_CONFIGURATION, &CUSBLog::OnOptionsConfiguration)
ON_COMMAND(ID_EDIT_FIND_REQUEST, &CUSBLog::OnEditFindRequest)
ON_UPDATE_COMMAND_UI(ID_USB_STARTEVENTCAPTURE, &CUSBLog::OnUpdateUsbStarteventcapture)
ON_UPDATE_COMMAND_UI(ID_USB_STOPEVENTCAPTURE, &CUSBLog::OnUpdateUsbStopeventcapture)
ON_UPDATE_COMMAND_UI(ID_USB_CLEARCAPTURE, &CUSBLog::OnUpdateUsbClearCapture)
ON_UPDATE_COMMAND_UI(ID_USB_CLEARDEVICES, &CUSBLog::OnUpdateUsbClearDevices)
ON_UPDATE_COMMAND_UI(ID_FILE_SAVE, &CUSBLog::OnUpdateFileSave)
ON_UPDATE_COMMAND_UI(ID_FILE_SAVE_AS, &CUSBLog::OnUpdateFileSave)
ON_UPDATE_COMMAND_UI(ID_EDIT_FILTER, &CUSBLog::OnUpdateEditFilter)
ON_UPDATE_COMMAND_UI(ID_EDIT_TRIGGER, &CUSBLog::OnUpdateEditTrigger)
ON_UPDATE_COMMAND_UI(ID_OPTIONS_CONFIGURATION, &CUSBLog::OnUpdateOptionsConfiguration)
ON_COMMAND(ID_EXPORT_DEVICEREPORT_XML, &CUSBLog::OnExportDeviceReportXml)
ON_UPDATE_COMMAND_UI(ID_EXPORT_DEVICEREPORT_XML, &CUSBLog::OnUpdateExportDeviceReport)
ON_COMMAND(ID_EXPORT_DEVICEREPORT_HTML, &CUSBLog::OnExportDeviceReportHtml)
ON_UPDATE_COMMAND_UI(ID_EXPORT_DEVICEREPORT_HTML, &CUSBLog::OnUpdateExportDeviceReport)
ON_COMMAND_RANGE(ID_HELP_TOPIC_214, ID_HELP_TOPIC_215, &CUSBLog::OnHelpTopic)
ON_COMMAND_RANGE(ID_HELP_TOPIC_217, ID_HELP_TOPIC_217, &CUSBLog::OnHelpTopic)
END_MESSAGE_MAP()

namespace {

DWORD HelpContextOf(UINT nID) {
    switch (nID) {
    case ID_HELP_TOPIC_214: return 51;
    case ID_HELP_TOPIC_215: return 53;
    case ID_HELP_TOPIC_217: return 52;
    default: return 0;
    }
}

} // namespace

void CUSBLog::OnHelpTopic(UINT nID) {
    const DWORD dwContext = HelpContextOf(nID);
    CWnd* pMainWnd = GetMainWindow();
    if (dwContext != 0 && pMainWnd != nullptr)
        pMainWnd->HtmlHelp(dwContext, HH_HELP_CONTEXT);
}

void CUSBLog::OnUpdateUsbStarteventcapture(CCmdUI* pCmdUI) {
    pCmdUI->Enable(IsRealtimeDocument() && !IsLogging());
}

void CUSBLog::OnUpdateUsbStopeventcapture(CCmdUI* pCmdUI) {
    pCmdUI->Enable(IsRealtimeDocument() && IsLogging());
}

void CUSBLog::OnUpdateUsbClearCapture(CCmdUI* pCmdUI) {
    pCmdUI->Enable(IsRealtimeDocument() && m_pLogRecords != nullptr && m_pLogRecords->GetCount() > 0);
}

void CUSBLog::OnUpdateUsbClearDevices(CCmdUI* pCmdUI) {
    pCmdUI->Enable(!IsLogging());
}

void CUSBLog::OnUpdateFileSave(CCmdUI* pCmdUI) {
    pCmdUI->Enable(IsRealtimeDocument() && !IsLogging());
}

void CUSBLog::OnUpdateEditFilter(CCmdUI* pCmdUI) {
    pCmdUI->Enable(!IsLogging());
    pCmdUI->SetCheck(IsBufferFilterOn() || IsCaptureFilterOn() ? 1 : 0);
}

void CUSBLog::OnUpdateEditTrigger(CCmdUI* pCmdUI) {
    // A saved log cannot capture, so its trigger only shows whether it was on.
    pCmdUI->Enable(IsRealtimeDocument() && !IsLogging());
    pCmdUI->SetCheck(IsTriggerOn() ? 1 : 0);
}

void CUSBLog::OnUpdateOptionsConfiguration(CCmdUI* pCmdUI) {
    pCmdUI->Enable(TRUE);
}

void CUSBLog::OnUpdateExportDeviceReport(CCmdUI* pCmdUI) {
    BOOL bEnable = FALSE;
    if (IsRealtimeDocument() && !IsLogging()) {
        CPanePointers panes;
        CWnd* pPage = panes.GetDeviceTreeActivePage();
        bEnable = panes.IsDeviceTreePaneVisible() && pPage != nullptr &&
                  static_cast<UINT>(pPage->GetDlgCtrlID()) == IDC_DEVICE_TREE_REPORT_PAGE && panes.AnyDevicesChecked();
    }
    pCmdUI->Enable(bEnable);
}
