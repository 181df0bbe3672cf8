// COSVersion: the running Windows release, described once when the object is made. Reports, the support
// dialog and the update query show its description; the filter pages and the host-controller code ask its
// flags and predicates which request kinds this release has.
#pragma once

#include "afx.h"
#include "windows.h"

class COSVersion {
public:
    // Architecture codes: those of the native system information, anything else is unknown.
    static constexpr DWORD ArchitectureX86 = PROCESSOR_ARCHITECTURE_INTEL;
    static constexpr DWORD ArchitectureIA64 = PROCESSOR_ARCHITECTURE_IA64;
    static constexpr DWORD ArchitectureX64 = PROCESSOR_ARCHITECTURE_AMD64;
    static constexpr DWORD ArchitectureUnknown = 0xFFFF;
    // "x86", "ia64", "x64", or "?" for any other code.
    static LPCSTR ArchitectureName(DWORD dwArchitecture);

    COSVersion() { Describe(); }

    // Reads the version records, sets the flags and builds the texts. Without any version record the object
    // stays invalid, every flag clear and every text empty.
    void Describe();

    BOOL IsAtLeast51() const; // XP
    BOOL IsAtLeast60() const; // Vista
    BOOL IsAtLeast61() const; // 7
    // Hub-interface logging is not offered (no "IHub" filter page, no hub-interface option): Windows 2000.
    BOOL IsHubInterfaceLoggingWithdrawn() const { return m_bWin2000; }
    // The newer USB stack (its URB functions are offered): 6.2 or later.
    BOOL HasNewUsbStack() const;

    BOOL IsValid() const { return m_bValid; }
    BOOL HasExtendedRecord() const { return m_bOsVersionInfoEx; }
    const OSVERSIONINFOEXA& GetVersionInfo() const { return m_osvi; }
    const SYSTEM_INFO& GetSystemInfo() const { return m_SystemInfo; }
    const CString& GetDescription() const { return m_strDescription; }
    const CString& GetProduct() const { return m_strProduct; }
    DWORD GetArchitecture() const { return m_dwArchitecture; }

    OSVERSIONINFOEXA m_osvi;
    BOOL m_bOsVersionInfoEx; // the system gave the extended record
    BOOL m_bValid;
    // The release, one flag each (none for later releases than 6.2).
    BOOL m_bWinNTBefore4;
    BOOL m_bWinNT4;
    BOOL m_bWin2000; // 5.0
    BOOL m_bWinXP;   // 5.1
    BOOL m_bWin2003; // 5.2
    BOOL m_bVista;   // 6.0
    BOOL m_bWin7;    // 6.1
    BOOL m_bWin8;    // 6.2
    BOOL m_bWin98;
    BOOL m_bWin98SE;
    BOOL m_bWin95;
    BOOL m_bWin95OSR2;
    BOOL m_bWinMe;
    BOOL m_bWin32s;
    CString m_strDescription; // "Microsoft Windows 7 Service Pack 1 (Build 7601)"
    CString m_strProduct;     // the description without service pack and build
    CString m_strWorking;
    SYSTEM_INFO m_SystemInfo;
    DWORD m_dwArchitecture;

private:
    void DescribeWindows9x();
    void DescribeWindowsNT();
    void AddNTEdition();
    BOOL IsAtLeast(DWORD major, DWORD minor, BOOL flag) const;
};
