#include "app/ui/panes/SystemPropertiesWnd.h"

#include "GkPropertyGrid.h"
#include "WinCrtTime.h"
#include "app/core/app/TindaloftApp.h"
#include "app/core/diagnostics/Trace.h"
#include "app/core/document/USBLog.h"
#include "app/core/system/OSVersion.h"
#include "app/decoders/framework/LogProperties.h"
#include "app/devices/System.h"
#include "app/ui/frame/MainFrame.h"
#include "app/widgets/OXSysInfo.h"

IMPLEMENT_DYNAMIC(CSystemPropertiesWnd, CPropertiesWnd)

BEGIN_MESSAGE_MAP(CSystemPropertiesWnd, CPropertiesWnd)
ON_WM_CREATE()
END_MESSAGE_MAP()

namespace {

// The key colour of the toolbar's images.
constexpr COLORREF kToolBarMask = RGB(0, 255, 0);
constexpr char kCategoryCaption[] = "System Properties";
// Log files older than this schema keep no system description and no start time.
constexpr UINT kFirstSchemaWithStartTime = 4;
// The room the date and the time are written into.
constexpr size_t kTimeTextLength = 128;

CUSBLog* ActiveDocument() {
    auto* pFrame = dynamic_cast<CMainFrame*>(AfxGetMainWnd());
    return pFrame != nullptr ? pFrame->GetActiveLogDocument() : nullptr;
}

// The capture's start as the date ("Tuesday, March 14, 1995") and the time ("00:00:00 UTC") in UTC, the
// runtime's "C" forms whatever the user's locale; both empty for a time the runtime cannot break down.
void FormatStartTime(LONGLONG llStartTime, CString& date, CString& time) {
    char dateText[kTimeTextLength] = "";
    char timeText[kTimeTextLength] = "";
    struct tm parts;
    const __time64_t start = llStartTime;
    // UTC, not local time: the time is labelled " UTC", which a local time would belie outside UTC.
    if (_gmtime64_s(&parts, &start) == 0) {
        _locale_t c = _create_locale(LC_ALL, "C");
        _strftime_l(dateText, sizeof dateText, "%#x", &parts, c);
        _strftime_l(timeText, sizeof timeText, "%X UTC", &parts, c);
        _free_locale(c);
    }
    date = dateText;
    time = timeText;
}

CString MegabytesText(uint64_t nBytes) {
    CString text;
    text.Format("%u Mbytes", static_cast<unsigned>(nBytes >> 20));
    return text;
}

} // namespace

int CSystemPropertiesWnd::OnCreate(LPCREATESTRUCT lpCreateStruct) {
    if (CPropertiesWnd::OnCreate(lpCreateStruct) == -1)
        return -1;
    if (!CreateToolBarAndGrid(IDR_LOGDETAILS_TOOLBAR, kToolBarMask))
        return -1;
    MakeCategory(CategoryId, kCategoryCaption);
    CUSBLog* pDoc = ActiveDocument();
    if (pDoc != nullptr && pDoc->IsRealtimeDocument())
        ShowSystemInformation();
    else if (pDoc != nullptr && pDoc->IsLogFileDocument())
        ShowLogFileInformation();
    return 0;
}

void CSystemPropertiesWnd::ResetCategory() {
    CPropertiesWnd::ResetCategory(CategoryId, kCategoryCaption);
}

CGkPropertyGridItem* CSystemPropertiesWnd::BeginFill() {
    CGkPropertyGridItem* pCategory = FindCategory(CategoryId);
    if (pCategory != nullptr)
        pCategory->GetChilds()->Clear();
    return pCategory;
}

void CSystemPropertiesWnd::EndFill(LPCSTR lpszCaption) {
    CGkPropertyGridItem* pCategory = FindCategory(CategoryId);
    if (pCategory == nullptr)
        return;
    pCategory->SetCaption(lpszCaption);
    pCategory->Expand();
}

void CSystemPropertiesWnd::ShowSystemInformation() {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_PANES, "--CSystemPropertiesWnd::ShowSystemInformation");
    CGkPropertyGridItem* pCategory = BeginFill();
    if (pCategory == nullptr)
        return;
    CLogProperties rows;
    const auto add = [&](LPCSTR lpszCaption, const CString& value) {
        rows.AddGridItem(pCategory, lpszCaption, value, nullptr);
    };
    COXSysInfo info;
    const auto* pApp = dynamic_cast<CTindaloftApp*>(AfxGetApp());
    CString text;
    add("Computer Name", info.GetComputerName(&text) ? text : CString());
    text.Empty();
    add("User Name", info.GetUserName(&text) ? text : CString());
    add("Windows Platform", pApp != nullptr ? pApp->m_OSVersion.GetDescription() : CString());
    DWORD dwPlatform = 0;
    DWORD dwMajor = 0;
    DWORD dwMinor = 0;
    text.Empty();
    if (info.GetWindowsVersion(&dwPlatform, &dwMajor, &dwMinor))
        text.Format("%d.%d", static_cast<int>(dwMajor), static_cast<int>(dwMinor));
    add("Windows Version", text);
    DWORD dwBuild = 0;
    text.Empty();
    if (info.GetBuildNumber(&dwBuild))
        text.Format("%d", static_cast<int>(dwBuild));
    add("Windows Build Number", text);
    text.Empty();
    add("Windows Platform Info", info.GetServicePack(&text) ? text : CString());
    add("Processor Architecture", COSVersion::ArchitectureName(pApp != nullptr ? pApp->m_OSVersion.GetArchitecture()
                                                                               : COSVersion::ArchitectureUnknown));
    DWORD dwProcessors = 0;
    info.GetProcessorInfo(&dwProcessors);
    text.Format("%d", static_cast<int>(dwProcessors));
    add("Number of CPUs", text);
    uint64_t nBytes = 0;
    info.GetTotalPhysicalMemory(&nBytes);
    add("Total Physical Memory", MegabytesText(nBytes));
    info.GetFreePhysicalMemory(&nBytes);
    add("Free Physical Memory", MegabytesText(nBytes));
    info.GetTotalVirtualMemory(&nBytes);
    add("Total Virtual Memory", MegabytesText(nBytes));
    info.GetFreeVirtualMemory(&nBytes);
    add("Free Virtual Memory", MegabytesText(nBytes));
    EndFill("System Information");
}

void CSystemPropertiesWnd::ShowLogFileInformation() {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_PANES, "--CSystemPropertiesWnd::ShowLogFileInformation");
    CGkPropertyGridItem* pCategory = BeginFill();
    if (pCategory == nullptr)
        return;
    if (CUSBLog* pDoc = ActiveDocument()) {
        CLogProperties rows;
        const auto add = [&](LPCSTR lpszCaption, const CString& value) {
            rows.AddGridItem(pCategory, lpszCaption, value, nullptr);
        };
        const CSystem* pSystem = pDoc->GetHostSystem();
        add("Machine Name", pSystem != nullptr ? pSystem->GetName() : CString());
        CString text;
        text.Format("%d.%d.%d Build %d", pDoc->GetVersionMajor(), pDoc->GetVersionMinor(), pDoc->GetVersionThird(),
                    pDoc->GetVersionFourth());
        add("Tindaloft Version", text);
        text.Format("%d", static_cast<int>(pDoc->GetRecordSchema()));
        add("Binary Schema", text);
        add("Processor Architecture", COSVersion::ArchitectureName(pDoc->GetProcessorArchitecture()));
        if (pDoc->GetRecordSchema() >= kFirstSchemaWithStartTime) {
            add("Windows Platform", pDoc->GetOSDescription());
            CString date;
            CString time;
            FormatStartTime(pDoc->GetStartTime(), date, time);
            add("Date", date);
            add("Time", time);
        }
    }
    EndFill("Log File Information");
}
