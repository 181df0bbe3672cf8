#include "app/core/capture/MemMapFile.h"

namespace CaptureBuffer {

IMPLEMENT_DYNAMIC(CMemMapFile, CObject)

namespace {

// The terminator: two zero bytes mapped behind the data, so text scanned from the view always ends.
constexpr DWORD kTerminatorBytes = 2;

} // namespace

CMemMapFile::CMemMapFile()
    : m_hFile(INVALID_HANDLE_VALUE), m_hMapping(nullptr), m_bReadOnly(1), m_bTerminator(0), m_pView(nullptr),
      m_bLocked(0), m_hMutex(nullptr), m_dwSize(0) {}

CMemMapFile::~CMemMapFile() {
    Close();
}

CString CMemMapFile::ObjectNameFor(LPCSTR lpszName) {
    CString name(lpszName ? lpszName : "");
    name.Replace('\\', '_');
    name.MakeUpper();
    return name;
}

BOOL CMemMapFile::Create(LPCSTR lpszName, DWORD dwSize, BOOL bReadOnly) {
    Close(); // a second mapping would leave the first one's handles behind
    m_dwSize = dwSize;
    m_bReadOnly = bReadOnly ? 1 : 0;
    m_bTerminator = 0;
    m_strObjectName = ObjectNameFor(lpszName);
    return CreateSection();
}

BOOL CMemMapFile::Open(LPCSTR lpszPath, BOOL bReadOnly, DWORD dwShareMode, BOOL bTerminator, BOOL bNamed,
                       BOOL bSparse) {
    Close();
    m_bReadOnly = bReadOnly ? 1 : 0;
    m_bTerminator = bTerminator ? 1 : 0;
    m_hFile = CreateFileA(lpszPath, bReadOnly ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE, dwShareMode, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_hFile == INVALID_HANDLE_VALUE) {
        Close();
        return FALSE;
    }
    if (bSparse) {
        DWORD returned = 0;
        if (!DeviceIoControl(m_hFile, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr)) {
            Close();
            return FALSE;
        }
    }
    DWORD high = 0;
    SetLastError(ERROR_SUCCESS);
    const DWORD low = GetFileSize(m_hFile, &high);
    if ((low == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS) || high != 0 || low == 0 ||
        (m_bTerminator && low > 0xFFFFFFFF - kTerminatorBytes)) {
        Close();
        return FALSE;
    }
    m_dwSize = low;
    m_strObjectName = bNamed ? ObjectNameFor(lpszPath) : CString();
    return CreateSection();
}

BOOL CMemMapFile::CreateSection() {
    const DWORD mappedSize = m_dwSize + (m_bTerminator ? kTerminatorBytes : 0);
    const bool named = !m_strObjectName.IsEmpty();
    m_hMapping = CreateFileMappingA(m_hFile, nullptr, m_bReadOnly ? PAGE_READONLY : PAGE_READWRITE, 0, mappedSize,
                                    named ? m_strObjectName.GetString() : nullptr);
    // A section that already has this name belongs to someone else, whatever its size: writing our size of
    // bytes into it could run past its end.
    if (m_hMapping == nullptr || (named && GetLastError() == ERROR_ALREADY_EXISTS)) {
        Close();
        return FALSE;
    }
    m_pView = MapViewOfFile(m_hMapping, m_bReadOnly ? FILE_MAP_READ : FILE_MAP_WRITE, 0, 0, 0);
    if (m_pView && m_bTerminator) {
        auto* bytes = static_cast<BYTE*>(m_pView);
        bytes[m_dwSize] = 0;
        bytes[m_dwSize + 1] = 0;
    }
    if (!m_pView) {
        // A mapping without a view would pass for a made section and leave its users without bytes.
        Close();
        return FALSE;
    }
    const CString mutexName = m_strObjectName + "MUTEX";
    m_hMutex = CreateMutexA(nullptr, FALSE, mutexName.GetString());
    return TRUE;
}

LPVOID CMemMapFile::Lock(DWORD dwTimeout) {
    if (!m_pView)
        return nullptr;
    if (m_bReadOnly) {
        m_bLocked = 1;
        return m_pView;
    }
    const DWORD result = WaitForSingleObject(m_hMutex, dwTimeout);
    if (result == WAIT_ABANDONED) {
        // The mutex is ours now, but its last owner ended inside the bank: refuse the lock, and give the
        // mutex back so that nobody waits for it forever.
        ReleaseMutex(m_hMutex);
        return nullptr;
    }
    if (result != WAIT_OBJECT_0)
        return nullptr;
    m_bLocked = 1;
    return m_pView;
}

BOOL CMemMapFile::Unlock() {
    if (!m_bLocked)
        return FALSE;
    m_bLocked = 0;
    if (!m_bReadOnly)
        ReleaseMutex(m_hMutex);
    return TRUE;
}

void CMemMapFile::Close() {
    Unlock();
    if (m_pView) {
        FlushViewOfFile(m_pView, 0);
        UnmapViewOfFile(m_pView);
        m_pView = nullptr;
    }
    if (m_hMapping) {
        CloseHandle(m_hMapping);
        m_hMapping = nullptr;
    }
    if (m_hFile != INVALID_HANDLE_VALUE) {
        CloseHandle(m_hFile);
        m_hFile = INVALID_HANDLE_VALUE;
    }
    if (m_hMutex) {
        CloseHandle(m_hMutex);
        m_hMutex = nullptr;
    }
    m_bReadOnly = 1;
    m_strObjectName.Empty();
    m_dwSize = 0;
}

} // namespace CaptureBuffer
