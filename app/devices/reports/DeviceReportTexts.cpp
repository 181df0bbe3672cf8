#include "app/devices/reports/DeviceReportTexts.h"

#include "app/core/app/TindaloftApp.h"
#include "app/core/system/FileVersionInfo.h"

namespace device_report {

namespace {

const CTindaloftApp* App() {
    return dynamic_cast<const CTindaloftApp*>(AfxGetApp());
}

} // namespace

void GetVersionStrings(CString& version, CString& build) {
    int numbers[4] = {};
    SplitVersionNumbers(CFileVersionInfo(nullptr).GetFileVersion(), numbers);
    version.Format("%d.%d.%d", numbers[0], numbers[1], numbers[2]);
    build.Format("%d", numbers[3]);
}

CString TimeStamp(bool xmlForm) {
    SYSTEMTIME now{};
    ::GetSystemTime(&now);
    CString text;
    text.Format(xmlForm ? "%04u-%02u-%02uT%02u:%02u:%02u" : "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth,
                now.wDay, now.wHour, now.wMinute, now.wSecond);
    return text;
}

CString MachineName() {
    const CTindaloftApp* pApp = App();
    return pApp != nullptr ? pApp->m_strMachineName : CString();
}

CString WindowsPlatform() {
    const CTindaloftApp* pApp = App();
    return pApp != nullptr ? pApp->m_OSVersion.GetDescription() : CString();
}

} // namespace device_report
