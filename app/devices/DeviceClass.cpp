#include "app/devices/DeviceClass.h"

#include <afxwin.h>

#include <cstring>
#include <new>

#include "app/core/diagnostics/Trace.h"
#include "app/core/system/OSVersion.h"
#include "app/devices/SymbolicLink.h"

IMPLEMENT_SERIAL(CDeviceClass, CObject, VERSIONABLE_SCHEMA | CDeviceClass::CurrentSchema)

namespace {

// Device paths resolve to their kernel device through a target buffer of MAX_PATH bytes.
constexpr ULONG kTargetBufferSize = MAX_PATH;
// SetupDiEnumDeviceInterfaces failures in a row (other than the end of the set) after which the interface
// search gives up: an error that persists would otherwise keep it asking for ever.
constexpr int kMaxEnumFailuresInARow = 16;

void WriteStrings(CArchive& ar, const CStringArray& strings) {
    ar << static_cast<DWORD>(strings.GetSize());
    for (INT_PTR i = 0; i < strings.GetSize(); ++i)
        ar << strings[i];
}

// Reads as many strings as the stored count says; the archive ends the read when the file is shorter.
void ReadStrings(CArchive& ar, CStringArray& strings) {
    DWORD nCount = 0;
    ar >> nCount;
    strings.RemoveAll();
    for (DWORD i = 0; i < nCount; ++i) {
        CString string;
        ar >> string;
        strings.Add(string);
    }
}

void WriteGuid(CArchive& ar, const GUID& guid) {
    ar << static_cast<DWORD>(guid.Data1) << static_cast<WORD>(guid.Data2) << static_cast<WORD>(guid.Data3);
    ar.Write(guid.Data4, sizeof guid.Data4);
}

GUID ReadGuid(CArchive& ar) {
    GUID guid{};
    DWORD data1 = 0;
    WORD data2 = 0, data3 = 0;
    ar >> data1 >> data2 >> data3;
    ar.EnsureRead(guid.Data4, sizeof guid.Data4);
    guid.Data1 = data1;
    guid.Data2 = data2;
    guid.Data3 = data3;
    return guid;
}

} // namespace

const GUID* const CDeviceClass::KnownInterfaceGuids[5] = {
    &GUID_DEVINTERFACE_USB_HOST_CONTROLLER,      &GUID_DEVINTERFACE_USB_HUB,      &GUID_DEVINTERFACE_USB_DEVICE,
    &GUID_DEVINTERFACE_NEC_USB3_HOST_CONTROLLER, &GUID_DEVINTERFACE_NEC_USB3_HUB,
};

const GUID* CDeviceClass::FindKnownInterfaceGuid(const GUID& guid) {
    for (const GUID* pKnown : KnownInterfaceGuids)
        if (*pKnown == guid)
            return pKnown;
    return nullptr;
}

BOOL CDeviceClass::AddInterfaceGuid(const GUID& guid) {
    const GUID* pKnown = FindKnownInterfaceGuid(guid);
    if (pKnown == nullptr)
        return TRUE;
    try {
        m_InterfaceGuids.Add(pKnown);
    } catch (CMemoryException* e) {
        e->Delete();
        return FALSE;
    }
    return TRUE;
}

CString FormatGuid(const GUID& guid) {
    CString text;
    text.Format("{%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}", guid.Data1, guid.Data2, guid.Data3,
                guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6],
                guid.Data4[7]);
    return text;
}

CString SymbolicLinkNameOf(LPCSTR lpszDevicePath) {
    if (std::strncmp(lpszDevicePath, "\\\\?\\", 4) == 0 || std::strncmp(lpszDevicePath, "\\\\.\\", 4) == 0)
        return CString(lpszDevicePath + 4);
    return CString(lpszDevicePath);
}

CDeviceClass::CDeviceClass() {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICES, "CDeviceClass constructor");
}

CDeviceClass::CDeviceClass(UINT nSchema) : m_nSchema(nSchema) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICES, "CDeviceClass(schema) constructor");
}

CDeviceClass::CDeviceClass(const GUID* pClassGuid, LPCSTR lpszDriverKey)
    : m_DriverKey(lpszDriverKey), m_ClassGuid(pClassGuid ? *pClassGuid : GUID{}) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICES, "CDeviceClass(guid*,key) constructor");
}

CDeviceClass::CDeviceClass(const GUID& classGuid, LPCSTR lpszDriverKey)
    : m_DriverKey(lpszDriverKey), m_ClassGuid(classGuid) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICES, "CDeviceClass(guid&,key) constructor");
}

CDeviceClass::~CDeviceClass() {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICES, "CDeviceClass destructor - DriverKey=%s", m_DriverKey.GetString());
    // A lookup left by an exception still gives its sets back.
    if (m_hInterfaceInfo)
        SetupDiDestroyDeviceInfoList(m_hInterfaceInfo);
    CloseDeviceInfo();
}

CDeviceClass* CDeviceClass::Create(const GUID& classGuid, LPCSTR lpszDriverKey) {
    try {
        return new CDeviceClass(classGuid, lpszDriverKey);
    } catch (CMemoryException* e) {
        e->Delete();
    } catch (const std::bad_alloc&) {
    }
    return nullptr;
}

void CDeviceClass::CloseDeviceInfo() {
    if (m_hDevInfo)
        SetupDiDestroyDeviceInfoList(m_hDevInfo);
    m_hDevInfo = nullptr;
}

BOOL CDeviceClass::LocateDeviceInfo() {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICES, ">CDeviceClass::LocateDeviceInfo() - DriverKey=%s",
              m_DriverKey.GetString());
    CloseDeviceInfo();
    m_hDevInfo = SetupDiGetClassDevs(&m_ClassGuid, nullptr, nullptr, DIGCF_PRESENT);
    if (m_hDevInfo == INVALID_HANDLE_VALUE) {
        m_hDevInfo = nullptr;
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_DEVICES,
                  "CDeviceClass::LocateDeviceInfo - SetupDiGetClassDevs failed with error = %u\n", GetLastError());
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICES, "<CDeviceClass::LocateDeviceInfo() - result=%d", FALSE);
        return FALSE;
    }

    BOOL bFound = FALSE;
    for (DWORD nMember = 0; !bFound; ++nMember) {
        TDL_TRACE(TRACE_VERBOSE, TRACE_AREA_DEVICES, "--InfoSet element=%d", nMember);
        m_DevInfoData.cbSize = sizeof(SP_DEVINFO_DATA);
        if (!SetupDiEnumDeviceInfo(m_hDevInfo, nMember, &m_DevInfoData)) {
            DWORD dwError = GetLastError();
            if (dwError != ERROR_NO_MORE_ITEMS)
                TDL_TRACE(TRACE_ERROR, TRACE_AREA_DEVICES,
                          "CDeviceClass::LocateDeviceInfo - SetupDiEnumDeviceInfo failed with error = %u\n", dwError);
            break;
        }
        CString driverKey;
        ReadResult result = ReadRegistryString(SPDRP_DRIVER, driverKey);
        if (result == ReadResult::OutOfMemory)
            break;
        if (result == ReadResult::Read) {
            TDL_TRACE(TRACE_VERBOSE, TRACE_AREA_DEVICES, "..DriverKey=%s", driverKey.GetString());
            bFound = driverKey.CompareNoCase(m_DriverKey) == 0;
        }
    }
    if (!bFound) {
        CloseDeviceInfo();
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICES, "<CDeviceClass::LocateDeviceInfo() - result=%d", FALSE);
        return FALSE;
    }

    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICES, "... Found DeviceInfoData with Matching DriverKey");
    ResolveInterfaces();
    BOOL bResult = GetRegistryString(SPDRP_CLASS, m_ClassName);
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICES, "CDeviceClass::m_ClassName = %s", m_ClassName.GetString());
    if (bResult)
        ReadProperties();
    CloseDeviceInfo();
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICES, "<CDeviceClass::LocateDeviceInfo() - result=%d", bResult);
    return bResult;
}

void CDeviceClass::ResolveInterfaces() {
    for (INT_PTR i = 0; i < m_InterfaceGuids.GetSize(); ++i) {
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICES, ".... Search for DeviceInterface with GUID=%s",
                  FormatGuid(*m_InterfaceGuids[i]).GetString());
        if (!GetSymbolicLink(i, &m_DevInfoData)) {
            m_SymbolicLinks.SetAtGrow(i, CString());
            m_DeviceNames.SetAtGrow(i, CString());
        }
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICES, ".... Interface=%d, Symlink=%s", static_cast<int>(i),
                  m_SymbolicLinks[i].GetString());
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICES, ".... Interface=%d, DeviceName=%s", static_cast<int>(i),
                  m_DeviceNames[i].GetString());
    }
}

void CDeviceClass::ReadProperties() {
    GetRegistryString(SPDRP_DEVICEDESC, m_DeviceDescription);
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICES, "CDeviceClass::m_DeviceDescription = %s",
              m_DeviceDescription.GetString());
    GetRegistryString(SPDRP_PHYSICAL_DEVICE_OBJECT_NAME, m_PDOName);
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICES, "CDeviceClass::m_PDOName = %s", m_PDOName.GetString());
    GetRegistryString(SPDRP_ENUMERATOR_NAME, m_EnumeratorName);
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICES, "CDeviceClass::m_EnumeratorName = %s",
              m_EnumeratorName.GetString());
    GetRegistryMultiString(SPDRP_HARDWAREID, m_HardwareIDs);
    GetRegistryMultiString(SPDRP_COMPATIBLEIDS, m_CompatibleIDs);
}

CDeviceClass::ReadResult CDeviceClass::ReadRegistryString(DWORD dwProperty, CString& strValue) {
    DWORD dwType = 0, dwSize = 0;
    if (SetupDiGetDeviceRegistryProperty(m_hDevInfo, &m_DevInfoData, dwProperty, &dwType, nullptr, 0, &dwSize) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER || dwType != REG_SZ)
        return ReadResult::Failed;
    auto* pBuffer = new (std::nothrow) char[dwSize];
    if (!pBuffer)
        return ReadResult::OutOfMemory;
    ReadResult result = ReadResult::Failed;
    if (SetupDiGetDeviceRegistryProperty(m_hDevInfo, &m_DevInfoData, dwProperty, &dwType,
                                         reinterpret_cast<PBYTE>(pBuffer), dwSize, nullptr)) {
        // A text without its terminator ends where the reported size does.
        strValue = CString(pBuffer, static_cast<int>(strnlen(pBuffer, dwSize)));
        result = ReadResult::Read;
    }
    delete[] pBuffer;
    return result;
}

BOOL CDeviceClass::GetRegistryString(DWORD dwProperty, CString& strValue) {
    return ReadRegistryString(dwProperty, strValue) == ReadResult::Read;
}

BOOL CDeviceClass::GetRegistryMultiString(DWORD dwProperty, CStringArray& values) {
    DWORD dwType = 0, dwSize = 0;
    if (SetupDiGetDeviceRegistryProperty(m_hDevInfo, &m_DevInfoData, dwProperty, &dwType, nullptr, 0, &dwSize) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER || (dwType != REG_SZ && dwType != REG_MULTI_SZ))
        return FALSE;
    char* pBuffer = nullptr;
    try {
        pBuffer = static_cast<char*>(AfxAllocateRaw(dwSize + 1));
    } catch (CMemoryException* e) {
        e->ReportError(MB_ICONEXCLAMATION);
        e->Delete();
        return FALSE;
    }
    std::memset(pBuffer, 0, dwSize + 1);
    BOOL bResult = FALSE;
    if (SetupDiGetDeviceRegistryProperty(m_hDevInfo, &m_DevInfoData, dwProperty, &dwType,
                                         reinterpret_cast<PBYTE>(pBuffer), dwSize, nullptr)) {
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICES, "CDeviceClass::%s ...",
                  dwProperty == SPDRP_HARDWAREID ? "m_HardwareIDs" : "m_CompatibleIDs");
        // A second lookup lists the strings once, not twice.
        values.RemoveAll();
        try {
            for (DWORD nOffset = 0; nOffset < dwSize && pBuffer[nOffset] != '\0';) {
                const size_t nLength = strnlen(pBuffer + nOffset, dwSize - nOffset);
                CString value(pBuffer + nOffset, static_cast<int>(nLength));
                TDL_TRACE(TRACE_VERBOSE, TRACE_AREA_DEVICES, "  %s", value.GetString());
                values.Add(value);
                nOffset += static_cast<DWORD>(nLength) + 1;
            }
            bResult = TRUE;
        } catch (CMemoryException* e) {
            // A list without room for every string is no list: none is kept.
            e->Delete();
            values.RemoveAll();
            TDL_TRACE(TRACE_ERROR, TRACE_AREA_DEVICES, "CDeviceClass::GetRegistryMultiString - out of memory");
        }
    }
    AfxFreeRaw(pBuffer);
    return bResult;
}

BOOL CDeviceClass::GetSymbolicLink(INT_PTR nInterface, PSP_DEVINFO_DATA pDevInfoData) {
    TDL_TRACE(TRACE_VERBOSE, TRACE_AREA_DEVICES, "  >CDeviceClass::GetSymbolicLink()");
    if (nInterface < 0 || nInterface >= m_InterfaceGuids.GetSize())
        AfxThrowInvalidArgException();
    const GUID* pInterfaceGuid = m_InterfaceGuids[nInterface];
    m_hInterfaceInfo = SetupDiGetClassDevs(pInterfaceGuid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (m_hInterfaceInfo == INVALID_HANDLE_VALUE) {
        m_hInterfaceInfo = nullptr;
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_DEVICES,
                  "   CDeviceClass::GetSymbolicLink - SetupDiGetClassDevs failed with error = %u", GetLastError());
        TDL_TRACE(TRACE_VERBOSE, TRACE_AREA_DEVICES, "   <CDeviceClass::GetSymbolicLink() - bResult=%d", FALSE);
        return FALSE;
    }
    std::memset(&m_DevInterfaceData, 0, sizeof m_DevInterfaceData);
    m_DevInterfaceData.cbSize = sizeof(SP_DEVICE_INTERFACE_DATA);

    BOOL bResult = FALSE;
    int nFailuresInARow = 0;
    for (DWORD nMember = 0; nFailuresInARow < kMaxEnumFailuresInARow; ++nMember) {
        if (!SetupDiEnumDeviceInterfaces(m_hInterfaceInfo, nullptr, pInterfaceGuid, nMember, &m_DevInterfaceData)) {
            DWORD dwError = GetLastError();
            if (dwError == ERROR_NO_MORE_ITEMS)
                break;
            TDL_TRACE(TRACE_ERROR, TRACE_AREA_DEVICES,
                      "   CDeviceClass::GetSymbolicLink - GetDeviceInterfaceDetail failed with error = %u", dwError);
            ++nFailuresInARow;
            continue;
        }
        nFailuresInARow = 0;
        if (GetDeviceInterfaceDetail(nInterface, pDevInfoData)) {
            bResult = TRUE;
            break;
        }
    }
    SetupDiDestroyDeviceInfoList(m_hInterfaceInfo);
    m_hInterfaceInfo = nullptr;
    TDL_TRACE(TRACE_VERBOSE, TRACE_AREA_DEVICES, "   <CDeviceClass::GetSymbolicLink() - bResult=%d", bResult);
    return bResult;
}

BOOL CDeviceClass::GetDeviceInterfaceDetail(INT_PTR nInterface, PSP_DEVINFO_DATA pDevInfoData) {
    TDL_TRACE(TRACE_VERBOSE, TRACE_AREA_DEVICES,
              "    >CDeviceClass::GetDeviceInterfaceDetail() - InterfaceIndex=%d, DevInterface=%s",
              static_cast<int>(nInterface), FormatGuid(m_DevInterfaceData.InterfaceClassGuid).GetString());
    constexpr DWORD kFixedPart = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    constexpr size_t kPathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
    DWORD dwSize = 0;
    if (SetupDiGetDeviceInterfaceDetail(m_hInterfaceInfo, &m_DevInterfaceData, nullptr, 0, &dwSize, nullptr) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER || dwSize <= kFixedPart - kPathOffset) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_DEVICES, "    SetupDiGetDeviceInterfaceDetail failed with error = %u",
                  GetLastError());
        return FALSE;
    }
    dwSize = dwSize < kFixedPart ? kFixedPart : dwSize;
    auto* pStorage = new (std::nothrow) BYTE[dwSize];
    if (!pStorage) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_DEVICES, "Failed to allocate storage");
        return FALSE;
    }
    std::memset(pStorage, 0, dwSize);
    auto* pDetail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(pStorage);
    pDetail->cbSize = kFixedPart;
    SP_DEVINFO_DATA interfaceDevice{};
    interfaceDevice.cbSize = sizeof interfaceDevice;

    BOOL bResult = FALSE;
    if (!SetupDiGetDeviceInterfaceDetail(m_hInterfaceInfo, &m_DevInterfaceData, pDetail, dwSize, nullptr,
                                         &interfaceDevice)) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_DEVICES, "    SetupDiGetDeviceInterfaceDetail failed with error = %u",
                  GetLastError());
    } else {
        const char* pszPath = reinterpret_cast<const char*>(pStorage) + kPathOffset;
        CString devicePath(pszPath, static_cast<int>(strnlen(pszPath, dwSize - kPathOffset)));
        TDL_TRACE(TRACE_VERBOSE, TRACE_AREA_DEVICES, "     CDeviceClass::GetDeviceInterfaceDetail() - DevicePath=%s",
                  devicePath.GetString());
        if (!pDevInfoData) {
            bResult = TRUE; // nothing to match the interface against, so nothing is recorded
        } else if (interfaceDevice.DevInst == pDevInfoData->DevInst) {
            m_SymbolicLinks.SetAtGrow(nInterface, devicePath);
            bResult = TRUE;
            char szTarget[kTargetBufferSize] = {};
            // Windows 2000 keeps the links user mode sees in "\??"; later systems in "\GLOBAL??".
            const char* pszDirectory = COSVersion().m_bWin2000 ? "\\??" : "\\GLOBAL??";
            if (QuerySymbolicLinkTarget(pszDirectory, SymbolicLinkNameOf(devicePath), szTarget, sizeof szTarget))
                m_DeviceNames.SetAtGrow(nInterface, CString(szTarget));
            else
                m_DeviceNames.SetAtGrow(nInterface, CString());
        }
    }
    delete[] pStorage;
    TDL_TRACE(TRACE_VERBOSE, TRACE_AREA_DEVICES, "    <CDeviceClass::GetDeviceInterfaceDetail() - bResult=%d", bResult);
    return bResult;
}

void CDeviceClass::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "CDeviceClass::Serialize (storing)");
        TDL_TRACE(TRACE_VERBOSE, TRACE_AREA_SERIALIZE, "m_DeviceDescription = %s", m_DeviceDescription.GetString());
        ar << m_DriverKey << m_ClassName << m_DeviceDescription << m_PDOName;
        WriteStrings(ar, m_HardwareIDs);
        WriteStrings(ar, m_CompatibleIDs);
        WriteGuid(ar, m_ClassGuid);
        // Always the current layout: the file says the current schema, whatever file this record came from.
        ar << static_cast<DWORD>(m_InterfaceGuids.GetSize());
        for (INT_PTR i = 0; i < m_InterfaceGuids.GetSize(); ++i)
            WriteGuid(ar, *m_InterfaceGuids[i]);
        WriteStrings(ar, m_SymbolicLinks);
        WriteStrings(ar, m_DeviceNames);
        return;
    }

    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "CDeviceClass::Serialize (loading)");
    ar >> m_DriverKey >> m_ClassName >> m_DeviceDescription >> m_PDOName;
    TDL_TRACE(TRACE_VERBOSE, TRACE_AREA_SERIALIZE, "m_DeviceDescription = %s", m_DeviceDescription.GetString());
    ReadStrings(ar, m_HardwareIDs);
    ReadStrings(ar, m_CompatibleIDs);
    m_ClassGuid = ReadGuid(ar);
    m_EnumeratorName.Empty();
    m_InterfaceGuids.RemoveAll();
    m_SymbolicLinks.RemoveAll();
    m_DeviceNames.RemoveAll();
    if (m_nSchema >= InterfaceListsSchema)
        LoadInterfaceLists(ar);
}

// Entry i of the three lists describes one interface, so they are kept in step: an interface class this
// program does not know goes with its link and device name, and lists of unequal length are cut to the
// shortest.
void CDeviceClass::LoadInterfaceLists(CArchive& ar) {
    DWORD nGuids = 0;
    ar >> nGuids;
    CArray<const GUID*, const GUID*> guids; // null for an unknown class
    for (DWORD i = 0; i < nGuids; ++i) {
        GUID guid = ReadGuid(ar);
        const GUID* pKnown = FindKnownInterfaceGuid(guid);
        if (!pKnown) {
            TDL_TRACE(TRACE_ERROR, TRACE_AREA_SERIALIZE, "Unexpected GUID type");
            AfxMessageBox("Unexpected Device Interface GUID encountered in Log File", MB_ICONERROR);
        }
        guids.Add(pKnown);
    }
    CStringArray links, names;
    ReadStrings(ar, links);
    ReadStrings(ar, names);

    INT_PTR nEntries = guids.GetSize();
    nEntries = links.GetSize() < nEntries ? links.GetSize() : nEntries;
    nEntries = names.GetSize() < nEntries ? names.GetSize() : nEntries;
    for (INT_PTR i = 0; i < nEntries; ++i) {
        if (!guids[i])
            continue;
        m_InterfaceGuids.Add(guids[i]);
        m_SymbolicLinks.Add(links[i]);
        m_DeviceNames.Add(names[i]);
    }
}
