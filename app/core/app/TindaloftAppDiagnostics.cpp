// CTindaloftApp: the driver's event log switched on or off for the next boots, and saved as a
// comma-separated file for support.
#include <memory>
#include <new>

#include "afxdlgs.h"
#include "app/core/app/TindaloftApp.h"
#include "app/core/capture/KxTdloft.h"
#include "app/core/diagnostics/DiagnosticsLog.h"
#include "app/core/diagnostics/Trace.h"
#include "app/core/document/USBLog.h"
#include "app/ui/PanePointers.h"
#include "app/ui/dialogs/PlainMessage.h"
#include "common/ControlCodes.h"

namespace {

// MemlogFlags of the switch: everything the driver can log, or nothing.
constexpr DWORD kDiagnosticsOn = 0x101;
constexpr DWORD kDiagnosticsOff = 0;

constexpr char kEnablePrompt[] =
    "Do you want to enable diagnostic logging?\nThis setting will persist after a system reboot.";
constexpr char kDisablePrompt[] =
    "Do you want to disable diagnostic logging?\nThis setting will persist after a system reboot.";
constexpr char kEmptyLogMessage[] = "Diagnostics log buffer is empty.";
constexpr char kCsvFilter[] = "CSV Files (*.csv)|*.csv|All Files (*.*)|*.*||";

void TraceControl(const MEMLOG_CONTROL& control) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVER_INFO, "sizeof MEMLOG_CONTROL = %u",
              static_cast<unsigned>(sizeof(MEMLOG_CONTROL)));
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVER_INFO, "sizeof MEMLOG_ENTRY = %u",
              static_cast<unsigned>(sizeof(MEMLOG_ENTRY)));
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVER_INFO, "MEMLOG_CONTROL->LogBuffer=%p",
              reinterpret_cast<const void*>(static_cast<uintptr_t>(control.LogBuffer)));
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVER_INFO, "MEMLOG_CONTROL->CurEntry=%p",
              reinterpret_cast<const void*>(static_cast<uintptr_t>(control.CurEntry)));
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVER_INFO, "MEMLOG_CONTROL->CurIndex=0x%08x", control.CurIndex);
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVER_INFO, "MEMLOG_CONTROL->IndexMask=0x%08x", control.IndexMask);
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVER_INFO, "MEMLOG_CONTROL->LogAllocSize=0x%08x", control.LogAllocSize);
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVER_INFO, "MEMLOG_CONTROL->LogEnabled=0x%02x", control.LogEnabled);
    for (int i = 0; i < 3; ++i) {
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVER_INFO, "MEMLOG_CONTROL->Reserved[%d]=0x%02x", i,
                  control.Reserved[i]);
    }
}

// The event log's size, then the log itself. Null (with the user told, where the user is to be told) when
// there is nothing sound to write.
std::unique_ptr<BYTE[]> FetchMemlog(DWORD& rdwSize) {
    CKxTdloft driver;
    if (!driver.TryDeviceOpen()) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_DRIVER_INFO, "Failed to open KxTdloft");
        ShowPlainMessage(kEmptyLogMessage, MB_OK);
        return nullptr;
    }
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVER_INFO, "Opened KxTdloft");
    DWORD dwSize = 0;
    DWORD dwLength = TINDALOFT_SIZE_QUERY_LENGTH;
    if (!driver.IoctlReadMemlog(&dwSize, dwLength) || dwLength != TINDALOFT_SIZE_QUERY_LENGTH) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_DRIVER_INFO, "Failed to Read Memlog size");
        driver.DeviceClose();
        ShowPlainMessage(kEmptyLogMessage, MB_OK);
        return nullptr;
    }
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVER_INFO, "IoctlReadMemlog returns memlog buffer size = %u", dwSize);
    // Only a control block and whole entries can be written; anything else is no log to speak of.
    if (!CDiagnosticsLog::IsSoundSize(dwSize)) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_DRIVER_INFO, "Memlog size %u is not a control block and whole entries",
                  dwSize);
        driver.DeviceClose();
        ShowPlainMessage(kEmptyLogMessage, MB_OK);
        return nullptr;
    }
    std::unique_ptr<BYTE[]> block(new (std::nothrow) BYTE[dwSize]);
    BOOL bFetched = FALSE;
    if (block == nullptr) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_DRIVER_INFO, "Exception during IoctlReadMemlog");
    } else {
        dwLength = dwSize;
        bFetched = driver.IoctlReadMemlog(block.get(), dwLength) && dwLength == dwSize;
        if (bFetched) {
            TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVER_INFO, "IoctlReadMemlog reads memlog buffer succeeds");
        }
    }
    driver.DeviceClose();
    if (!bFetched) {
        return nullptr;
    }
    rdwSize = dwSize;
    return block;
}

} // namespace

void CTindaloftApp::OnHelpDiagnostics() {
    CUSBLog* pDoc = CPanePointers::GetActiveLogDocument();
    if (pDoc == nullptr) {
        return;
    }
    const BOOL bOn = m_Settings.MemlogFlags == kDiagnosticsOff;
    if (ShowPlainMessage(bOn ? kEnablePrompt : kDisablePrompt, MB_OKCANCEL | MB_ICONQUESTION) != IDOK) {
        return;
    }
    m_Settings.MemlogFlags = bOn ? kDiagnosticsOn : kDiagnosticsOff;
    pDoc->ApplyLoggingOptions();
}

void CTindaloftApp::OnUpdateHelpDiagnostics(CCmdUI* pCmdUI) {
    const CUSBLog* pDoc = CPanePointers::GetActiveLogDocument();
    pCmdUI->Enable(pDoc != nullptr && pDoc->IsRealtimeDocument() && !pDoc->IsLogging());
}

void CTindaloftApp::OnHelpSaveDiagnosticsLog() {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVER_INFO, "--OnHelpSaveDiagnosticsLog");
    if (CPanePointers::GetActiveLogDocument() == nullptr) {
        return;
    }
    DWORD dwSize = 0;
    const std::unique_ptr<BYTE[]> block = FetchMemlog(dwSize);
    if (block == nullptr) {
        return;
    }
    const CDiagnosticsLog log(block.get(), dwSize);
    TraceControl(log.GetControl());
    if (!log.IsCurEntrySound()) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_DRIVER_INFO, "CurEntry is not an entry of the ring; rows start at entry 0");
    }

    CFileDialog dlg(FALSE, "csv", nullptr, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, kCsvFilter);
    if (dlg.DoModal() != IDOK) {
        return;
    }
    const CString path = dlg.GetPathName();
    CStdioFile file;
    if (!file.Open(path, CFile::modeCreate | CFile::modeWrite | CFile::typeText)) {
        CString message;
        message.Format("Failed to open:\n%s", path.GetString());
        ShowPlainMessage(message, MB_OK);
        return;
    }
    try {
        file.WriteString(log.FormatRows());
        file.Close();
    } catch (CFileException* pError) {
        // A full disk or a lost share: told, rather than left to end the program.
        pError->Delete();
        file.Abort();
        CString message;
        message.Format("Failed to write:\n%s", path.GetString());
        ShowPlainMessage(message, MB_OK);
        return;
    }
    CString message;
    message.Format("Diagnostic log has been saved to: %s ", path.GetString());
    ShowPlainMessage(message, MB_OK);
}
