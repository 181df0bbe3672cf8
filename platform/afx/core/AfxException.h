// The framework's exceptions. They are thrown as pointers and released by the catcher:
//   try { ... } catch (CArchiveException* e) { ...; e->Delete(); }
// The AfxThrow* functions allocate the exception (the memory, not-supported and invalid-argument ones are
// shared static objects whose Delete does nothing, so they can be thrown when memory is exhausted).
#pragma once

#include "AfxObject.h"
#include "AfxString.h"

class CException : public CObject {
    DECLARE_DYNAMIC(CException)
public:
    explicit CException(BOOL bAutoDelete = TRUE) : m_bAutoDelete(bAutoDelete) {}
    ~CException() override = default;

    // Releases an exception that was thrown with AfxThrow* or new; does nothing for a static one.
    void Delete();

    // Copies a message that describes the exception into lpszError (at most nMaxError characters,
    // terminator included). FALSE when there is no message.
    virtual BOOL GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext = nullptr) const;
    // Shows the message (or string nMessageID when there is none) in a message box; the box's answer.
    virtual int ReportError(UINT nType = 0x00000030L /* MB_ICONEXCLAMATION */, UINT nMessageID = 0);

    BOOL m_bAutoDelete;
};

// Exceptions that carry no data of their own.
class CSimpleException : public CException {
    DECLARE_DYNAMIC(CSimpleException)
public:
    explicit CSimpleException(BOOL bAutoDelete = TRUE) : CException(bAutoDelete) {}
    BOOL GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext = nullptr) const override;

protected:
    virtual LPCTSTR GetMessageText() const = 0;
};

class CMemoryException : public CSimpleException {
    DECLARE_DYNAMIC(CMemoryException)
public:
    explicit CMemoryException(BOOL bAutoDelete = TRUE) : CSimpleException(bAutoDelete) {}

protected:
    LPCTSTR GetMessageText() const override { return "Out of memory."; }
};

class CNotSupportedException : public CSimpleException {
    DECLARE_DYNAMIC(CNotSupportedException)
public:
    explicit CNotSupportedException(BOOL bAutoDelete = TRUE) : CSimpleException(bAutoDelete) {}

protected:
    LPCTSTR GetMessageText() const override { return "An unsupported operation was attempted."; }
};

class CInvalidArgException : public CSimpleException {
    DECLARE_DYNAMIC(CInvalidArgException)
public:
    explicit CInvalidArgException(BOOL bAutoDelete = TRUE) : CSimpleException(bAutoDelete) {}

protected:
    LPCTSTR GetMessageText() const override { return "Encountered an improper argument."; }
};

class CUserException : public CSimpleException {
    DECLARE_DYNAMIC(CUserException)
public:
    explicit CUserException(BOOL bAutoDelete = TRUE) : CSimpleException(bAutoDelete) {}

protected:
    LPCTSTR GetMessageText() const override { return "The operation was stopped by the user."; }
};

// A resource (a window class, a menu, a string) the program needs could not be had.
class CResourceException : public CSimpleException {
    DECLARE_DYNAMIC(CResourceException)
public:
    explicit CResourceException(BOOL bAutoDelete = TRUE) : CSimpleException(bAutoDelete) {}

protected:
    LPCTSTR GetMessageText() const override { return "A required resource was unavailable."; }
};

class CArchiveException : public CException {
    DECLARE_DYNAMIC(CArchiveException)
public:
    enum {
        none = 0,
        genericException = 1,
        generic = genericException,
        readOnly = 2,  // an archive opened for loading was written to
        endOfFile = 3, // the input ended before what it announced
        writeOnly = 4, // an archive opened for storing was read from
        badIndex = 5,  // an object or class reference that names nothing loaded
        badClass = 6,  // an unknown class name, or an object of an unexpected class
        badSchema = 7, // a stored schema that the (non-versionable) class cannot read
    };

    explicit CArchiveException(int cause = none, LPCTSTR lpszArchiveName = nullptr);
    BOOL GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext = nullptr) const override;

    int m_cause;
    CString m_strFileName;
};

class CFileException : public CException {
    DECLARE_DYNAMIC(CFileException)
public:
    enum {
        none = 0,
        genericException = 1,
        generic = genericException,
        fileNotFound = 2,
        badPath = 3,
        tooManyOpenFiles = 4,
        accessDenied = 5,
        invalidFile = 6,
        removeCurrentDir = 7,
        directoryFull = 8,
        badSeek = 9,
        hardIO = 10,
        sharingViolation = 11,
        lockViolation = 12,
        diskFull = 13,
        endOfFile = 14,
    };

    explicit CFileException(int cause = none, LONG lOsError = -1, LPCTSTR lpszArchiveName = nullptr);
    BOOL GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext = nullptr) const override;

    // The cause that the framework gives a system error code.
    static int PASCAL OsErrorToException(LONG lOsError);
    [[noreturn]] static void PASCAL ThrowOsError(LONG lOsError, LPCTSTR lpszFileName = nullptr);

    int m_cause;
    LONG m_lOsError;
    CString m_strFileName;
};

[[noreturn]] void AFXAPI AfxThrowNotSupportedException();
[[noreturn]] void AFXAPI AfxThrowUserException();
[[noreturn]] void AFXAPI AfxThrowResourceException();
[[noreturn]] void AFXAPI AfxThrowArchiveException(int cause, LPCTSTR lpszArchiveName = nullptr);
[[noreturn]] void AFXAPI AfxThrowFileException(int cause, LONG lOsError = -1, LPCTSTR lpszFileName = nullptr);
