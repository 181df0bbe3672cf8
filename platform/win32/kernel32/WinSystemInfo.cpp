#include "WinSystemInfo.h"

#include <cstring>
#include <mutex>
#include <optional>

#include "NtVersionControl.h"

#include "WinHandles.h"
#include "WinMachineProfile.h"
#include "WinUser.h"
#include "winerror.h"

namespace win32 {
namespace {

struct ProfileStore {
    std::mutex lock;
    std::optional<MachineProfile> profile; // set by a test; else the default
};

// The default profile reports the release the kernel reports.
MachineProfile DefaultProfile() {
    MachineProfile p;
    const nt::version::ReleaseInfo release = nt::version::Info(nt::version::SelectedRelease());
    p.majorVersion = release.major;
    p.minorVersion = release.minor;
    p.buildNumber = release.build;
    p.servicePackMajor = release.servicePackMajor;
    p.servicePackMinor = release.servicePackMinor;
    p.productType = release.productType;
    p.servicePack.clear();
    for (const char16_t* c = release.csdVersion; c && *c; ++c)
        p.servicePack += static_cast<char>(*c < 0x80 ? *c : '?');
    return p;
}

ProfileStore& Store() {
    static ProfileStore store;
    return store;
}

} // namespace

MachineProfile GetMachineProfile() {
    ProfileStore& s = Store();
    std::lock_guard guard(s.lock);
    return s.profile ? *s.profile : DefaultProfile();
}

void SetMachineProfile(const MachineProfile& profile) {
    ProfileStore& s = Store();
    std::lock_guard guard(s.lock);
    s.profile = profile;
}

void ResetMachineProfile() {
    ProfileStore& s = Store();
    std::lock_guard guard(s.lock);
    s.profile.reset();
}

} // namespace win32

namespace {

template <class Record, class Char>
void FillVersion(Record& record, const win32::MachineProfile& p, Char (&servicePack)[128]) {
    record.dwMajorVersion = p.majorVersion;
    record.dwMinorVersion = p.minorVersion;
    record.dwBuildNumber = p.buildNumber;
    record.dwPlatformId = p.platformId;
    std::memset(servicePack, 0, sizeof servicePack);
    for (size_t i = 0; i < p.servicePack.size() && i < 127; ++i)
        servicePack[i] = static_cast<Char>(static_cast<unsigned char>(p.servicePack[i]));
}

template <class Extended> void FillExtended(Extended& record, const win32::MachineProfile& p) {
    record.wServicePackMajor = p.servicePackMajor;
    record.wServicePackMinor = p.servicePackMinor;
    record.wSuiteMask = p.suiteMask;
    record.wProductType = p.productType;
    record.wReserved = 0;
}

template <class Basic, class Extended> BOOL GetVersionRecord(Basic* record) {
    if (!record) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const win32::MachineProfile p = win32::GetMachineProfile();
    const DWORD size = record->dwOSVersionInfoSize;
    const bool extended = size == sizeof(Extended);
    if (p.refuseVersion) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    if ((size != sizeof(Basic) && !extended) || (extended && p.refuseExtendedVersion)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    FillVersion(*record, p, record->szCSDVersion);
    if (extended)
        FillExtended(*reinterpret_cast<Extended*>(record), p);
    return TRUE;
}

BOOL CopyName(const std::string& name, LPSTR buffer, LPDWORD size, DWORD shortError, bool countNul) {
    if (!size) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (name.empty()) {
        SetLastError(ERROR_NOT_FOUND);
        return FALSE;
    }
    if (!buffer || *size <= name.size()) {
        *size = static_cast<DWORD>(name.size() + 1);
        SetLastError(shortError);
        return FALSE;
    }
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    *size = static_cast<DWORD>(name.size() + (countNul ? 1 : 0));
    return TRUE;
}

} // namespace

BOOL GetVersionExA(LPOSVERSIONINFOA versionInformation) {
    return GetVersionRecord<OSVERSIONINFOA, OSVERSIONINFOEXA>(versionInformation);
}

BOOL GetVersionExW(LPOSVERSIONINFOW versionInformation) {
    return GetVersionRecord<OSVERSIONINFOW, OSVERSIONINFOEXW>(versionInformation);
}

void GetNativeSystemInfo(LPSYSTEM_INFO systemInfo) {
    if (!systemInfo)
        return;
    const win32::MachineProfile p = win32::GetMachineProfile();
    *systemInfo = {};
    systemInfo->wProcessorArchitecture = p.processorArchitecture;
    systemInfo->dwPageSize = 4096;
    systemInfo->lpMinimumApplicationAddress = reinterpret_cast<LPVOID>(0x10000);
    systemInfo->lpMaximumApplicationAddress = reinterpret_cast<LPVOID>(0x7FFFFFEFFFFULL);
    systemInfo->dwNumberOfProcessors = p.numberOfProcessors;
    systemInfo->dwActiveProcessorMask =
        p.numberOfProcessors >= 64 ? ~DWORD_PTR{0} : (DWORD_PTR{1} << p.numberOfProcessors) - 1;
    systemInfo->dwProcessorType = PROCESSOR_AMD_X8664;
    systemInfo->dwAllocationGranularity = 0x10000;
    systemInfo->wProcessorLevel = 6;
    systemInfo->wProcessorRevision = 0x3A09;
}

void GetSystemInfo(LPSYSTEM_INFO systemInfo) {
    GetNativeSystemInfo(systemInfo);
}

void GlobalMemoryStatus(LPMEMORYSTATUS buffer) {
    if (!buffer)
        return;
    const win32::MachineProfile p = win32::GetMachineProfile();
    buffer->dwLength = sizeof(MEMORYSTATUS);
    buffer->dwMemoryLoad = p.totalPhysical ? static_cast<DWORD>(100 - p.availablePhysical * 100 / p.totalPhysical) : 0;
    buffer->dwTotalPhys = p.totalPhysical;
    buffer->dwAvailPhys = p.availablePhysical;
    // The paging file is counted as large as the memory itself.
    buffer->dwTotalPageFile = p.totalPhysical * 2;
    buffer->dwAvailPageFile = p.availablePhysical + p.totalPhysical;
    buffer->dwTotalVirtual = p.totalVirtual;
    buffer->dwAvailVirtual = p.availableVirtual;
}

namespace {

// The classic look at 96 dots per inch.
int WindowMetric(int index, const win32::MachineProfile& p) {
    switch (index) {
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
    case SM_CYVSCROLL:
    case SM_CXHSCROLL:
    case SM_CYVTHUMB:
    case SM_CXHTHUMB: return 16;
    case SM_CYCAPTION: return 18;
    case SM_CXBORDER:
    case SM_CYBORDER: return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME: return 3;
    case SM_CXFRAME:
    case SM_CYFRAME: return 4;
    case SM_CXEDGE:
    case SM_CYEDGE: return 2;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR:
    case SM_CXICONSPACING:
    case SM_CYICONSPACING: return 32;
    case SM_CXSMICON:
    case SM_CYSMICON: return 16;
    case SM_CYMENU:
    case SM_CYMENUSIZE:
    case SM_CXMENUSIZE: return 19;
    case SM_CYSMCAPTION: return 15;
    case SM_CXSIZE:
    case SM_CYSIZE: return 18;
    case SM_CXSMSIZE:
    case SM_CYSMSIZE: return 15;
    case SM_CXMIN:
    case SM_CXMINTRACK: return 112;
    case SM_CYMIN:
    case SM_CYMINTRACK: return 27;
    case SM_CXMAXTRACK: return p.screenWidth + 12;
    case SM_CYMAXTRACK: return p.screenHeight + 12;
    case SM_CXMAXIMIZED: return p.screenWidth + 8;
    case SM_CYMAXIMIZED: return p.screenHeight + 8;
    case SM_CXFULLSCREEN: return p.screenWidth;
    case SM_CYFULLSCREEN: return p.screenHeight - 18;
    case SM_CXVIRTUALSCREEN: return p.screenWidth;
    case SM_CYVIRTUALSCREEN: return p.screenHeight;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
    case SM_CXDRAG:
    case SM_CYDRAG: return 4;
    case SM_CXMENUCHECK:
    case SM_CYMENUCHECK: return 13;
    case SM_MOUSEPRESENT:
    case SM_MOUSEWHEELPRESENT: return 1;
    default: return 0;
    }
}

} // namespace

int GetSystemMetrics(int index) {
    const win32::MachineProfile p = win32::GetMachineProfile();
    switch (index) {
    case SM_CXSCREEN: return p.screenWidth;
    case SM_CYSCREEN: return p.screenHeight;
    case SM_CMONITORS: return 1;
    case SM_SERVERR2: return p.serverR2;
    case SM_MEDIACENTER: return p.mediaCenter;
    default: return WindowMetric(index, p);
    }
}

BOOL GetComputerNameA(LPSTR buffer, LPDWORD size) {
    return CopyName(win32::GetMachineProfile().computerName, buffer, size, ERROR_BUFFER_OVERFLOW, false);
}

BOOL GetUserNameA(LPSTR buffer, LPDWORD size) {
    return CopyName(win32::GetMachineProfile().userName, buffer, size, ERROR_INSUFFICIENT_BUFFER, true);
}
