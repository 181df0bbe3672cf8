#include "OXSysInfo.h"

#include <cstring>

IMPLEMENT_DYNAMIC(COXSysInfo, CObject)

namespace {
constexpr DWORD kComputerNameChars = MAX_COMPUTERNAME_LENGTH + 1;
constexpr DWORD kUserNameChars = UNLEN + 1;
} // namespace

COXSysInfo::COXSysInfo() : m_memoryStatus{}, m_systemInfo{} {}

BOOL COXSysInfo::GetComputerName(CString* pString) {
    char buffer[kComputerNameChars] = {};
    DWORD size = kComputerNameChars;
    if (!pString || !::GetComputerNameA(buffer, &size))
        return FALSE;
    *pString = buffer;
    return TRUE;
}

BOOL COXSysInfo::GetUserName(CString* pString) {
    char buffer[kUserNameChars] = {};
    DWORD size = kUserNameChars;
    if (!pString || !::GetUserNameA(buffer, &size))
        return FALSE;
    *pString = buffer;
    return TRUE;
}

BOOL COXSysInfo::ReadVersion(OSVERSIONINFOA* pInfo) const {
    std::memset(pInfo, 0, sizeof *pInfo);
    pInfo->dwOSVersionInfoSize = sizeof *pInfo;
    return ::GetVersionExA(pInfo);
}

BOOL COXSysInfo::GetWindowsVersion(DWORD* pdwPlatform, DWORD* pdwMajor, DWORD* pdwMinor) {
    OSVERSIONINFOA info;
    if (!pdwPlatform || !pdwMajor || !pdwMinor || !ReadVersion(&info))
        return FALSE;
    *pdwPlatform = info.dwPlatformId;
    *pdwMajor = info.dwMajorVersion;
    *pdwMinor = info.dwMinorVersion;
    return TRUE;
}

BOOL COXSysInfo::GetBuildNumber(DWORD* pdwBuild) {
    OSVERSIONINFOA info;
    if (!pdwBuild || !ReadVersion(&info))
        return FALSE;
    *pdwBuild = info.dwPlatformId == VER_PLATFORM_WIN32_NT ? info.dwBuildNumber : LOWORD(info.dwBuildNumber);
    return TRUE;
}

BOOL COXSysInfo::GetServicePack(CString* pString) {
    OSVERSIONINFOA info;
    if (!pString || !ReadVersion(&info))
        return FALSE;
    info.szCSDVersion[sizeof info.szCSDVersion - 1] = '\0';
    *pString = info.szCSDVersion;
    return TRUE;
}

BOOL COXSysInfo::ReadMemory(uint64_t* pnBytes, SIZE_T MEMORYSTATUS::*field) {
    std::memset(&m_memoryStatus, 0, sizeof m_memoryStatus);
    m_memoryStatus.dwLength = sizeof m_memoryStatus;
    ::GlobalMemoryStatus(&m_memoryStatus);
    if (pnBytes)
        *pnBytes = m_memoryStatus.*field;
    return TRUE;
}

BOOL COXSysInfo::GetTotalPhysicalMemory(uint64_t* pnBytes) {
    return ReadMemory(pnBytes, &MEMORYSTATUS::dwTotalPhys);
}

BOOL COXSysInfo::GetFreePhysicalMemory(uint64_t* pnBytes) {
    return ReadMemory(pnBytes, &MEMORYSTATUS::dwAvailPhys);
}

BOOL COXSysInfo::GetTotalVirtualMemory(uint64_t* pnBytes) {
    return ReadMemory(pnBytes, &MEMORYSTATUS::dwTotalVirtual);
}

BOOL COXSysInfo::GetFreeVirtualMemory(uint64_t* pnBytes) {
    return ReadMemory(pnBytes, &MEMORYSTATUS::dwAvailVirtual);
}

BOOL COXSysInfo::GetProcessorInfo(DWORD* pdwCount) {
    std::memset(&m_systemInfo, 0, sizeof m_systemInfo);
    ::GetSystemInfo(&m_systemInfo);
    if (pdwCount)
        *pdwCount = m_systemInfo.dwNumberOfProcessors;
    return TRUE;
}
