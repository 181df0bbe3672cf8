// The capture document as a capture log file: the magic, the document's class reference, the session's
// header values, settings, capture filter and trigger, the device model, then the record part.
#include <cstring>
#include <memory>
#include <utility>

#include "app/core/app/Resource.h"
#include "app/core/diagnostics/Trace.h"
#include "app/core/document/USBLog.h"
#include "app/core/filters/FilterDefinition.h"
#include "app/core/records/LogRecords.h"
#include "app/core/records/SplitQuad.h"
#include "app/core/settings/AppSettings.h"
#include "app/devices/AttachedDevices.h"
#include "app/devices/AttachedDrivers.h"
#include "app/devices/EmptyCollection.h"
#include "app/devices/StackTree.h"
#include "app/devices/System.h"
#include "app/devices/SystemHostControllers.h"
#include "app/ui/dialogs/LogProgress.h"
#include "app/ui/dialogs/ProgressDlg.h"

namespace {

constexpr char kMagic[4] = {'T', 'd', 'l', 'o'};
// The magic of the older format, which this program cannot read.
constexpr char kOldMagic[4] = {'T', 'L', 'f', 't'};
// The only form of the start time this format writes: a tag, then 64-bit seconds since 1970.
constexpr DWORD kStartTimeTag = 0x8000000A;

constexpr char kSaved[] = "File saved successfully!";
constexpr char kCanceled[] = "File save canceled!";

// A count as the user reads it, its digits grouped by thousands: "2,123".
CString GroupedCount(ULONGLONG nCount) {
    CString digits;
    digits.Format("%llu", nCount);
    CString grouped;
    for (int i = 0; i < digits.GetLength(); ++i) {
        if (i > 0 && (digits.GetLength() - i) % 3 == 0)
            grouped += ',';
        grouped += digits[i];
    }
    return grouped;
}

// The done text of a save whose file holds nSaved of the store's nCaptured records. A file holds one capture
// bank, so a continuous capture that filled more than that loses its oldest records: the user is told here,
// not on opening the file. The count is the list's; a list the buffer filter thins is spoken of as captured.
CString SavedText(ULONGLONG nSaved, ULONGLONG nCaptured, bool bFiltered) {
    if (nSaved >= nCaptured)
        return kSaved;
    CString text;
    text.Format("File saved: %s of the %s records %s (a capture file holds one capture bank, the newest records)",
                static_cast<LPCSTR>(GroupedCount(nSaved)), static_cast<LPCSTR>(GroupedCount(nCaptured)),
                bFiltered ? "captured" : "shown");
    return text;
}

// A sub-object of the file, or its empty form when the document has none.
template <class T> void StoreOrEmpty(CArchive& ar, const std::unique_ptr<T>& pObject) {
    if (pObject != nullptr)
        pObject->Serialize(ar);
    else
        SerializeEmptyCollection(ar);
}

// Replaces an owned object with a new one before reading into it, so a failed load leaves nothing unowned.
template <class T, class... Args> T* Renew(std::unique_ptr<T>& rpObject, Args&&... args) {
    rpObject.reset();
    rpObject = std::make_unique<T>(std::forward<Args>(args)...);
    return rpObject.get();
}

// A filter definition that follows its flag only when the flag is set.
void LoadDefinitionIf(CArchive& ar, DWORD dwOn, std::unique_ptr<CFilterDefinition>& rpDefinition, UINT nSchema) {
    if (dwOn != 0)
        Renew(rpDefinition, nSchema)->Serialize(ar);
}

} // namespace

void CUSBLog::Serialize(CArchive& ar) {
    if (ar.IsStoring())
        StoreLog(ar);
    else
        LoadLog(ar);
}

void CUSBLog::StoreLog(CArchive& ar) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "--CUSBLog::Serialize (storing)");
    CLogProgress* pProgress = m_pSaveProgress;
    if (pProgress != nullptr && !::IsWindow(pProgress->GetSafeHwnd())) {
        pProgress->m_pDocument = this;
        if (pProgress->Create(IDD_LOG_PROGRESS_SAVE, pProgress->m_pParentWnd))
            pProgress->ShowWindow(SW_SHOW);
    }
    if (pProgress != nullptr && !pProgress->IsShown())
        pProgress = nullptr;

    ar.Write(kMagic, sizeof kMagic);
    ar.WriteClass(RUNTIME_CLASS(CUSBLog));
    if (m_HostSystem != nullptr) {
        m_HostSystem->Serialize(ar);
    } else {
        CSystem empty;
        empty.Serialize(ar);
    }
    ar << m_strOSDescription;
    ar << static_cast<DWORD>(m_dwOSValue);
    ar << static_cast<WORD>(m_procArchitecture);
    ar << kStartTimeTag << static_cast<LONGLONG>(m_llStartTime);
    ar << m_nVersionMajor << m_nVersionMinor << m_nVersionThird << m_nVersionFourth;
    ProgressDlgSetPos(pProgress, 0);

    if (m_pSettings != nullptr) {
        m_pSettings->Serialize(ar);
    } else {
        CAppSettings defaults;
        defaults.Serialize(ar);
    }
    // A flag without its definition would announce bytes that do not follow.
    const bool bCaptureFilter = m_bCaptureFilterOn != 0 && m_pCaptureFilter != nullptr;
    ar << static_cast<DWORD>(bCaptureFilter ? 1 : 0);
    if (bCaptureFilter)
        m_pCaptureFilter->Serialize(ar);
    const bool bTrigger = m_bTriggerOn.load() != 0 && m_pTrigger != nullptr;
    ar << static_cast<DWORD>(bTrigger ? 1 : 0);
    ar << static_cast<DWORD>(m_nTriggerSeqNum);
    if (bTrigger)
        m_pTrigger->Serialize(ar);
    StoreSplitQuad(ar, m_llFrequency);
    StoreOrEmpty(ar, m_pStackTree);
    StoreOrEmpty(ar, m_pHostControllers);
    StoreOrEmpty(ar, m_pAttachedDevices);
    StoreOrEmpty(ar, m_pAttachedDrivers);

    if (m_pLogRecords != nullptr) {
        const DWORD dwSaved = m_pLogRecords->StoreRecords(ar);
        m_strSavedText = SavedText(dwSaved, static_cast<ULONGLONG>(m_pLogRecords->GetCount()), IsBufferFilterOn());
    } else {
        LogRecords::CLogRecords none(this);
        none.StoreRecords(ar);
    }
    // A cancelled save is abandoned whole: the framework drops the partial file and keeps the earlier one.
    if (pProgress != nullptr && pProgress->IsCancelled()) {
        ProgressDlgFinish(pProgress, kCanceled);
        AfxThrowUserException();
    }
}

void CUSBLog::LoadLog(CArchive& ar) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "--CUSBLog::Serialize (loading)");
    char magic[4] = {};
    ar.EnsureRead(magic, sizeof magic);
    if (std::memcmp(magic, kOldMagic, sizeof magic) == 0) {
        AfxMessageBox("This log file is not compatible with this version of Tindaloft.", MB_ICONSTOP);
        AfxThrowArchiveException(CArchiveException::badSchema);
    }
    UINT nSchema = 0;
    if (ar.ReadClass(RUNTIME_CLASS(CUSBLog), &nSchema) == nullptr)
        AfxThrowArchiveException(CArchiveException::badClass);
    if (nSchema < OldestRecordSchema) {
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "Unexpected version number : %i, throwing CArchiveException",
                  static_cast<int>(nSchema));
        AfxThrowArchiveException(CArchiveException::badSchema);
    }
    m_nRecordSchema = nSchema;

    Renew(m_HostSystem)->Serialize(ar);
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "m_HostSystem=%p", static_cast<void*>(m_HostSystem.get()));
    ar >> m_strOSDescription;
    DWORD dwOSValue = 0;
    WORD wArchitecture = 0;
    ar >> dwOSValue >> wArchitecture;
    m_dwOSValue = dwOSValue;
    m_procArchitecture = wArchitecture;
    DWORD dwStartTag = 0;
    LONGLONG llStartTime = 0;
    ar >> dwStartTag;
    if (dwStartTag != kStartTimeTag)
        AfxThrowArchiveException(CArchiveException::badSchema);
    ar >> llStartTime;
    m_llStartTime = llStartTime;
    ar >> m_nVersionMajor >> m_nVersionMinor >> m_nVersionThird >> m_nVersionFourth;

    DeleteOwnedSettings();
    m_pSettings = Renew(m_pOwnedSettings, nSchema);
    m_pOwnedSettings->Serialize(ar);
    DWORD dwCaptureFilterOn = 0;
    ar >> dwCaptureFilterOn;
    m_bCaptureFilterOn = dwCaptureFilterOn;
    LoadDefinitionIf(ar, dwCaptureFilterOn, m_pCaptureFilter, nSchema);
    DWORD dwTriggerOn = 0;
    ar >> dwTriggerOn >> m_nTriggerSeqNum;
    m_bTriggerOn.store(dwTriggerOn);
    LoadDefinitionIf(ar, dwTriggerOn, m_pTrigger, nSchema);
    m_llFrequency = LoadSplitQuad(ar);

    const CString strDevice = ControlDeviceName();
    ar.SetObjectSchema(nSchema);
    Renew(m_pStackTree, strDevice)->Serialize(ar);
    ar.SetObjectSchema(nSchema);
    Renew(m_pHostControllers, nSchema)->Serialize(ar);
    ar.SetObjectSchema(nSchema);
    Renew(m_pAttachedDevices)->Serialize(ar);
    ar.SetObjectSchema(nSchema);
    Renew(m_pAttachedDrivers, strDevice)->Serialize(ar);

    SetAllDeviceFlags();
    // Device objects first, so the stacks find them at their addresses; the tree then links both.
    m_pAttachedDevices->PostLoading(this);
    m_pStackTree->PostLoading(this);
    BuildConnectionTree();

    Renew(m_pLogRecords, this, nSchema)->Serialize(ar);
    MarkDeviceModelLoaded();
}

void CUSBLog::BuildConnectionTree() {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "--CUSBLog::BuildConnectionTree");
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "--------------------");
    SetConnectionRoot();
    if (m_HostSystem == nullptr)
        return;
    const ::ConnectionElement& root = m_ConnectionTree.get();
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "m_ElementType = %s", "ET_SYSTEM");
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "m_LabelText = %s", static_cast<LPCSTR>(root.m_LabelText));
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "m_IsCheckable = %d", root.m_IsCheckable ? 1 : 0);
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "m_pElemObject = %p", static_cast<void*>(root.m_pElemObject));
    if (m_pHostControllers != nullptr)
        m_pHostControllers->BuildConnectionTree(this);
}

BOOL CUSBLog::OnSaveDocument(LPCTSTR lpszPathName) {
    auto pOwnedProgress = std::make_unique<CLogProgress>(nullptr, GetMainWindow());
    // The user sees where the file goes, not the temporary file the framework writes first.
    pOwnedProgress->m_strText = lpszPathName;
    pOwnedProgress->m_pDocument = this;
    m_pSaveProgress = pOwnedProgress.get();
    m_strSavedText = kSaved;
    BOOL bSaved = FALSE;
    try {
        bSaved = CDocument::OnSaveDocument(lpszPathName);
    } catch (...) {
        m_pSaveProgress = nullptr;
        throw;
    }
    m_pSaveProgress = nullptr;
    HWND hProgress = pOwnedProgress->GetSafeHwnd();
    // Never shown, or the framework has told of the failure: nothing for the window to say.
    if (!::IsWindow(hProgress) || (!bSaved && !pOwnedProgress->IsCancelled()))
        return bSaved;
    // From here the window is the user's: it deletes itself when it is closed.
    CLogProgress* pProgress = pOwnedProgress.release();
    pProgress->m_bAutoDelete = TRUE;
    // Success is told only once the file is in place; the cancelled window already says so.
    if (bSaved)
        ProgressDlgFinish(pProgress, m_strSavedText);
    return bSaved;
}
