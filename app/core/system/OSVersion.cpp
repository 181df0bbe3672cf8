#include "app/core/system/OSVersion.h"

#include <cstring>

namespace {

constexpr BYTE kWorkstation = VER_NT_WORKSTATION;
constexpr WORD kSuitePersonal = 0x0200;
constexpr WORD kSuiteEnterprise = 0x0002;
constexpr WORD kSuiteDatacenter = 0x0080;
constexpr WORD kSuiteBlade = 0x0400;
constexpr WORD kSuiteHomeServer = 0x8000;

// What a system without the extended record says about its edition: the product options' "ProductType".
CString ProductTypeFromRegistry() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\ProductOptions", 0, KEY_QUERY_VALUE,
                      &key) != ERROR_SUCCESS)
        return CString();
    char type[81] = {};
    DWORD size = 80; // a longer value is no product type we know
    LSTATUS status = RegQueryValueExA(key, "ProductType", nullptr, nullptr, reinterpret_cast<LPBYTE>(type), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return CString();
    type[size < 80 ? size : 80] = '\0';
    return CString(type);
}

// NT 4.0 "Service Pack 6" with this hotfix is 6a.
bool HasServicePack6a() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Hotfix\\Q246009", 0,
                      KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

} // namespace

LPCSTR COSVersion::ArchitectureName(DWORD dwArchitecture) {
    switch (dwArchitecture) {
    case ArchitectureX86: return "x86";
    case ArchitectureIA64: return "ia64";
    case ArchitectureX64: return "x64";
    default: return "?";
    }
}

void COSVersion::Describe() {
    std::memset(&m_osvi, 0, sizeof m_osvi);
    m_bOsVersionInfoEx = m_bValid = FALSE;
    m_bWinNTBefore4 = m_bWinNT4 = m_bWin2000 = m_bWinXP = m_bWin2003 = m_bVista = m_bWin7 = m_bWin8 = FALSE;
    m_bWin98 = m_bWin98SE = m_bWin95 = m_bWin95OSR2 = m_bWinMe = m_bWin32s = FALSE;
    m_strDescription.Empty();
    m_strProduct.Empty();
    m_strWorking.Empty();
    std::memset(&m_SystemInfo, 0, sizeof m_SystemInfo);
    m_dwArchitecture = ArchitectureUnknown;

    m_osvi.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
    m_bOsVersionInfoEx = GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&m_osvi));
    if (!m_bOsVersionInfoEx) {
        std::memset(&m_osvi, 0, sizeof m_osvi);
        m_osvi.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
        if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&m_osvi)))
            return;
    }
    m_bValid = TRUE;
    m_osvi.szCSDVersion[sizeof m_osvi.szCSDVersion - 1] = '\0';

    GetNativeSystemInfo(&m_SystemInfo);
    switch (m_SystemInfo.wProcessorArchitecture) {
    case PROCESSOR_ARCHITECTURE_INTEL:
    case PROCESSOR_ARCHITECTURE_IA64:
    case PROCESSOR_ARCHITECTURE_AMD64: m_dwArchitecture = m_SystemInfo.wProcessorArchitecture; break;
    default: m_dwArchitecture = ArchitectureUnknown;
    }

    switch (m_osvi.dwPlatformId) {
    case VER_PLATFORM_WIN32s:
        m_bWin32s = TRUE;
        m_strDescription = m_strProduct = "Microsoft Win32s";
        break;
    case VER_PLATFORM_WIN32_WINDOWS: DescribeWindows9x(); break;
    case VER_PLATFORM_WIN32_NT: DescribeWindowsNT(); break;
    default: break;
    }
}

void COSVersion::DescribeWindows9x() {
    const DWORD major = m_osvi.dwMajorVersion, minor = m_osvi.dwMinorVersion;
    const char release = m_osvi.szCSDVersion[1]; // " A", " B", " C"
    if (major == 4 && minor == 0) {
        m_bWin95 = TRUE;
        m_strWorking = "Microsoft Windows 95 ";
        if (release == 'C' || release == 'B') {
            m_bWin95OSR2 = TRUE;
            m_strWorking += "OSR2 ";
        }
    } else if (major == 4 && minor == 10) {
        m_strWorking = "Microsoft Windows 98 ";
        if (release == 'A') {
            m_bWin98SE = TRUE;
            m_strWorking += "SE ";
        } else {
            m_bWin98 = TRUE;
        }
    } else if (major == 4 && minor == 90) {
        m_bWinMe = TRUE;
        m_strWorking = "Microsoft Windows Millennium Edition";
    }
    m_strDescription = m_strProduct = m_strWorking;
}

void COSVersion::DescribeWindowsNT() {
    const DWORD major = m_osvi.dwMajorVersion, minor = m_osvi.dwMinorVersion;
    if (major < 4)
        m_bWinNTBefore4 = TRUE;
    else if (major == 4)
        m_bWinNT4 = TRUE;
    else if (major == 5 && minor == 0)
        m_bWin2000 = TRUE;
    else if (major == 5 && minor == 1)
        m_bWinXP = TRUE;
    else if (major == 5 && minor == 2)
        m_bWin2003 = TRUE;
    else if (major == 6 && minor == 0)
        m_bVista = TRUE;
    else if (major == 6 && minor == 1)
        m_bWin7 = TRUE;
    else if (major == 6 && minor == 2)
        m_bWin8 = TRUE;

    if (major <= 4)
        m_strWorking = "Microsoft Windows NT ";
    else if (major == 5 && minor == 0)
        m_strWorking = "Microsoft Windows 2000 ";
    else if (major == 5 && minor == 1)
        m_strWorking = "Microsoft Windows XP ";

    AddNTEdition();

    const int build = static_cast<int>(m_osvi.dwBuildNumber);
    if (major == 4 && CString(m_osvi.szCSDVersion).CompareNoCase("Service Pack 6") == 0 && HasServicePack6a())
        m_strDescription.Format("%sService Pack 6a (Build %d)", m_strWorking.GetString(), build);
    else
        m_strDescription.Format("%s%s (Build %d)", m_strWorking.GetString(), m_osvi.szCSDVersion, build);
    m_strProduct = m_strWorking;
}

void COSVersion::AddNTEdition() {
    const DWORD major = m_osvi.dwMajorVersion, minor = m_osvi.dwMinorVersion;
    const WORD suite = m_osvi.wSuiteMask;
    if (!m_bOsVersionInfoEx) {
        CString type = ProductTypeFromRegistry();
        if (type.CompareNoCase("WINNT") == 0)
            m_strWorking += "Workstation ";
        else if (type.CompareNoCase("LANMANNT") == 0)
            m_strWorking += "Server ";
        else if (type.CompareNoCase("SERVERNT") == 0)
            m_strWorking += "Advanced Server ";
        return;
    }

    if (m_osvi.wProductType != kWorkstation) {
        if (major == 5 && minor == 2) {
            m_strWorking += GetSystemMetrics(SM_SERVERR2) == 0 ? "Microsoft Windows Server 2003 "
                                                               : "Microsoft Windows Server 2003 R2 ";
            if (suite == kSuiteHomeServer)
                m_strWorking += "Microsoft Windows Home Server ";
        } else if (major == 6 && minor == 0) {
            m_strWorking += "Microsoft Windows Server 2008 ";
        } else if (major == 6 && minor == 1) {
            m_strWorking += "Microsoft Windows Server 2008 R2 ";
        } else if (major == 6 && minor == 2) {
            m_strWorking += "Microsoft Windows 8 Server ";
        }
    }

    if (m_osvi.wProductType == kWorkstation) {
        if (major == 4) {
            m_strWorking += "Workstation 4.0 ";
        } else if (major == 5 && minor == 1) {
            if (suite & kSuitePersonal)
                m_strWorking += "Home Edition ";
            if (GetSystemMetrics(SM_MEDIACENTER))
                m_strWorking += "Microsoft Windows XP Media Center Edition ";
            else
                m_strWorking += "Professional ";
        } else if (major == 5 && minor == 0) {
            m_strWorking += "Professional ";
        } else if (major == 5 && minor == 2) {
            if (m_dwArchitecture == ArchitectureX64)
                m_strWorking += "Microsoft Windows XP Professional x64 Edition ";
        } else if (major == 6 && minor == 0) {
            m_strWorking += "Microsoft Windows Vista ";
        } else if (major == 6 && minor == 1) {
            m_strWorking += "Microsoft Windows 7 ";
        } else if (major == 6 && minor == 2) {
            m_strWorking += "Microsoft Windows 8 ";
        }
        return;
    }

    // Server or domain controller.
    if (major == 5 && minor == 2) {
        if (suite & kSuiteDatacenter)
            m_strWorking += ", Datacenter Edition ";
        else if (suite & kSuiteEnterprise)
            m_strWorking += ", Enterprise Edition ";
        else if (suite & kSuiteBlade)
            m_strWorking += ", Web Edition ";
        else
            m_strWorking += ", Standard Edition ";
    } else if (major == 5 && minor == 0) {
        if (suite & kSuiteDatacenter)
            m_strWorking += "Datacenter Server ";
        else if (suite & kSuiteEnterprise)
            m_strWorking += "Advanced Server ";
        else
            m_strWorking += "Server ";
    } else if (major == 6 && (minor == 0 || minor == 1)) {
        if (suite & kSuiteDatacenter)
            m_strWorking += " Datacenter ";
        else if (suite & kSuiteEnterprise)
            m_strWorking += " Enterprise ";
    } else {
        m_strWorking += (suite & kSuiteEnterprise) ? "Server 4.0, Enterprise Edition " : "Server 4.0 ";
    }
}

BOOL COSVersion::IsAtLeast(DWORD major, DWORD minor, BOOL flag) const {
    return flag || m_osvi.dwMajorVersion > major || (m_osvi.dwMajorVersion == major && m_osvi.dwMinorVersion > minor);
}

BOOL COSVersion::IsAtLeast51() const {
    return IsAtLeast(5, 1, m_bWinXP);
}
BOOL COSVersion::IsAtLeast60() const {
    return IsAtLeast(6, 0, m_bVista);
}
BOOL COSVersion::IsAtLeast61() const {
    return IsAtLeast(6, 1, m_bWin7);
}
BOOL COSVersion::HasNewUsbStack() const {
    return IsAtLeast(6, 2, m_bWin8);
}
