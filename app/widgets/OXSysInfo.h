// COXSysInfo: simple questions about the machine for the system properties pane. Each query asks the platform
// afresh; only the last raw memory and processor records are kept. A query that fails returns FALSE and leaves
// its out-parameter as it was.
#pragma once

#include <cstdint>

#include "afxwin.h"

class COXSysInfo : public CObject {
    DECLARE_DYNAMIC(COXSysInfo)
public:
    COXSysInfo();

    BOOL GetComputerName(CString* pString);
    BOOL GetUserName(CString* pString);
    BOOL GetWindowsVersion(DWORD* pdwPlatform, DWORD* pdwMajor, DWORD* pdwMinor);
    // Systems other than the NT family keep the version in the high word, so only the low 16 bits are the build.
    BOOL GetBuildNumber(DWORD* pdwBuild);
    BOOL GetServicePack(CString* pString);

    // These cannot fail; sizes are in bytes.
    BOOL GetTotalPhysicalMemory(uint64_t* pnBytes);
    BOOL GetFreePhysicalMemory(uint64_t* pnBytes);
    BOOL GetTotalVirtualMemory(uint64_t* pnBytes);
    BOOL GetFreeVirtualMemory(uint64_t* pnBytes);
    BOOL GetProcessorInfo(DWORD* pdwCount);

private:
    BOOL ReadVersion(OSVERSIONINFOA* pInfo) const;
    BOOL ReadMemory(uint64_t* pnBytes, SIZE_T MEMORYSTATUS::*field);

    MEMORYSTATUS m_memoryStatus;
    SYSTEM_INFO m_systemInfo;
};
