#include "AfxException.h"

#include <cstring>

#include "AfxMessageBox.h"

IMPLEMENT_DYNAMIC(CException, CObject)
IMPLEMENT_DYNAMIC(CSimpleException, CException)
IMPLEMENT_DYNAMIC(CMemoryException, CSimpleException)
IMPLEMENT_DYNAMIC(CNotSupportedException, CSimpleException)
IMPLEMENT_DYNAMIC(CInvalidArgException, CSimpleException)
IMPLEMENT_DYNAMIC(CUserException, CSimpleException)
IMPLEMENT_DYNAMIC(CResourceException, CSimpleException)
IMPLEMENT_DYNAMIC(CArchiveException, CException)
IMPLEMENT_DYNAMIC(CFileException, CException)

namespace {

BOOL CopyMessage(LPCTSTR text, LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext) {
    if (pnHelpContext != nullptr)
        *pnHelpContext = 0;
    if (lpszError == nullptr || nMaxError == 0)
        return FALSE;
    size_t n = std::strlen(text);
    if (n > nMaxError - 1)
        n = nMaxError - 1;
    std::memcpy(lpszError, text, n);
    lpszError[n] = '\0';
    return TRUE;
}

LPCTSTR ArchiveCauseText(int cause) {
    switch (cause) {
    case CArchiveException::none: return "No error occurred.";
    case CArchiveException::readOnly: return "Tried to write to an archive that was opened for loading";
    case CArchiveException::endOfFile: return "Unexpected end of file while reading";
    case CArchiveException::writeOnly: return "Tried to read from an archive that was opened for storing";
    case CArchiveException::badIndex: return "Invalid object reference in the file";
    case CArchiveException::badClass: return "Unknown or unexpected class in the file";
    case CArchiveException::badSchema: return "The file holds an unsupported version of an object";
    default: return "Unexpected file format";
    }
}

LPCTSTR FileCauseText(int cause) {
    switch (cause) {
    case CFileException::none: return "No error occurred.";
    case CFileException::fileNotFound: return "The file was not found";
    case CFileException::badPath: return "The path is not valid";
    case CFileException::tooManyOpenFiles: return "Too many files are open";
    case CFileException::accessDenied: return "Access to the file was denied";
    case CFileException::invalidFile: return "An invalid file handle was used";
    case CFileException::removeCurrentDir: return "The current directory cannot be removed";
    case CFileException::directoryFull: return "The directory is full";
    case CFileException::badSeek: return "An error occurred while setting the file position";
    case CFileException::hardIO: return "A hardware error occurred";
    case CFileException::sharingViolation: return "The file is in use by another process";
    case CFileException::lockViolation: return "A region of the file is locked";
    case CFileException::diskFull: return "The disk is full";
    case CFileException::endOfFile: return "The end of the file was reached";
    default: return "An unexpected error occurred with the file";
    }
}

BOOL CopyCauseMessage(LPCTSTR causeText, const CString& fileName, LPTSTR lpszError, UINT nMaxError,
                      PUINT pnHelpContext) {
    CString text(causeText);
    if (!fileName.IsEmpty()) {
        text += " (";
        text += fileName;
        text += ")";
    }
    text += ".";
    return CopyMessage(text, lpszError, nMaxError, pnHelpContext);
}

} // namespace

void CException::Delete() {
    if (m_bAutoDelete)
        delete this;
}

BOOL CException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext) const {
    if (pnHelpContext != nullptr)
        *pnHelpContext = 0;
    if (lpszError != nullptr && nMaxError > 0)
        lpszError[0] = '\0';
    return FALSE;
}

int CException::ReportError(UINT nType, UINT nMessageID) {
    char message[512] = {};
    if (GetErrorMessage(message, sizeof message) && message[0] != '\0')
        return AfxMessageBox(message, nType);
    if (nMessageID != 0)
        return AfxMessageBox(nMessageID, nType);
    return AfxMessageBox("No error message is available.", nType);
}

BOOL CSimpleException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext) const {
    return CopyMessage(GetMessageText(), lpszError, nMaxError, pnHelpContext);
}

CArchiveException::CArchiveException(int cause, LPCTSTR lpszArchiveName)
    : m_cause(cause), m_strFileName(lpszArchiveName) {}

BOOL CArchiveException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext) const {
    return CopyCauseMessage(ArchiveCauseText(m_cause), m_strFileName, lpszError, nMaxError, pnHelpContext);
}

CFileException::CFileException(int cause, LONG lOsError, LPCTSTR lpszArchiveName)
    : m_cause(cause), m_lOsError(lOsError), m_strFileName(lpszArchiveName) {}

BOOL CFileException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext) const {
    return CopyCauseMessage(FileCauseText(m_cause), m_strFileName, lpszError, nMaxError, pnHelpContext);
}

int PASCAL CFileException::OsErrorToException(LONG lOsError) {
    // System error codes and the causes the framework gives them.
    struct Mapping {
        LONG error;
        int cause;
    };
    static const Mapping kMap[] = {
        {2, fileNotFound},       // ERROR_FILE_NOT_FOUND
        {3, badPath},            // ERROR_PATH_NOT_FOUND
        {4, tooManyOpenFiles},   // ERROR_TOO_MANY_OPEN_FILES
        {5, accessDenied},       // ERROR_ACCESS_DENIED
        {6, invalidFile},        // ERROR_INVALID_HANDLE
        {11, invalidFile},       // ERROR_BAD_FORMAT
        {12, accessDenied},      // ERROR_INVALID_ACCESS
        {15, badPath},           // ERROR_INVALID_DRIVE
        {16, removeCurrentDir},  // ERROR_CURRENT_DIRECTORY
        {17, badPath},           // ERROR_NOT_SAME_DEVICE
        {18, fileNotFound},      // ERROR_NO_MORE_FILES
        {19, accessDenied},      // ERROR_WRITE_PROTECT
        {20, hardIO},            // ERROR_BAD_UNIT
        {21, hardIO},            // ERROR_NOT_READY
        {22, hardIO},            // ERROR_BAD_COMMAND
        {23, hardIO},            // ERROR_CRC
        {24, badSeek},           // ERROR_BAD_LENGTH
        {25, badSeek},           // ERROR_SEEK
        {26, invalidFile},       // ERROR_NOT_DOS_DISK
        {27, badSeek},           // ERROR_SECTOR_NOT_FOUND
        {29, accessDenied},      // ERROR_WRITE_FAULT
        {30, badSeek},           // ERROR_READ_FAULT
        {32, sharingViolation},  // ERROR_SHARING_VIOLATION
        {33, lockViolation},     // ERROR_LOCK_VIOLATION
        {34, badPath},           // ERROR_WRONG_DISK
        {36, tooManyOpenFiles},  // ERROR_SHARING_BUFFER_EXCEEDED
        {38, endOfFile},         // ERROR_HANDLE_EOF
        {39, diskFull},          // ERROR_HANDLE_DISK_FULL
        {53, badPath},           // ERROR_BAD_NETPATH
        {65, accessDenied},      // ERROR_NETWORK_ACCESS_DENIED
        {67, badPath},           // ERROR_BAD_NET_NAME
        {80, accessDenied},      // ERROR_FILE_EXISTS
        {82, accessDenied},      // ERROR_CANNOT_MAKE
        {108, lockViolation},    // ERROR_DRIVE_LOCKED
        {112, diskFull},         // ERROR_DISK_FULL
        {113, tooManyOpenFiles}, // ERROR_NO_MORE_SEARCH_HANDLES
        {114, invalidFile},      // ERROR_INVALID_TARGET_HANDLE
        {123, badPath},          // ERROR_INVALID_NAME
        {131, badSeek},          // ERROR_NEGATIVE_SEEK
        {132, badSeek},          // ERROR_SEEK_ON_DEVICE
        {145, removeCurrentDir}, // ERROR_DIR_NOT_EMPTY
        {161, badPath},          // ERROR_BAD_PATHNAME
        {167, lockViolation},    // ERROR_LOCK_FAILED
        {170, accessDenied},     // ERROR_BUSY
        {183, accessDenied},     // ERROR_ALREADY_EXISTS
        {193, invalidFile},      // ERROR_BAD_EXE_FORMAT
        {206, badPath},          // ERROR_FILENAME_EXCED_RANGE
        {267, badPath},          // ERROR_DIRECTORY
        {995, hardIO},           // ERROR_OPERATION_ABORTED
        {996, hardIO},           // ERROR_IO_INCOMPLETE
        {997, hardIO},           // ERROR_IO_PENDING
    };
    if (lOsError == 0)
        return none;
    for (const Mapping& m : kMap)
        if (m.error == lOsError)
            return m.cause;
    return genericException;
}

void PASCAL CFileException::ThrowOsError(LONG lOsError, LPCTSTR lpszFileName) {
    if (lOsError == 0)
        AfxThrowFileException(genericException, lOsError, lpszFileName);
    AfxThrowFileException(OsErrorToException(lOsError), lOsError, lpszFileName);
}

void AFXAPI AfxThrowMemoryException() {
    // Shared and never deleted: there may be no memory left to allocate an exception.
    static CMemoryException s_memoryException(FALSE);
    throw &s_memoryException;
}

void AFXAPI AfxThrowNotSupportedException() {
    static CNotSupportedException s_notSupportedException(FALSE);
    throw &s_notSupportedException;
}

void AFXAPI AfxThrowInvalidArgException() {
    static CInvalidArgException s_invalidArgException(FALSE);
    throw &s_invalidArgException;
}

void AFXAPI AfxThrowUserException() {
    throw new CUserException();
}

void AFXAPI AfxThrowResourceException() {
    throw new CResourceException();
}

void AFXAPI AfxThrowArchiveException(int cause, LPCTSTR lpszArchiveName) {
    throw new CArchiveException(cause, lpszArchiveName);
}

void AFXAPI AfxThrowFileException(int cause, LONG lOsError, LPCTSTR lpszFileName) {
    throw new CFileException(cause, lOsError, lpszFileName);
}
