// The Windows Installer functions that programs of this system call (ANSI forms). A package here is a stand-in
// file: the eight signature bytes D0 CF 11 E0 A1 B1 1A E1, then lines "<id>=<text>", one summary-information
// property each (9 is the package code). Real packages are not read and nothing is ever installed.
#pragma once

#include "windef.h"

typedef ULONG MSIHANDLE; // 32 bits, as the platform's

#define ERROR_INSTALL_PACKAGE_OPEN_FAILED 1619L
#ifndef ERROR_INSTALL_PACKAGE_INVALID
#define ERROR_INSTALL_PACKAGE_INVALID 1620L
#endif

// Summary-information property ids.
#define PID_CODEPAGE 1
#define PID_TITLE 2
#define PID_SUBJECT 3
#define PID_AUTHOR 4
#define PID_KEYWORDS 5
#define PID_COMMENTS 6
#define PID_TEMPLATE 7
#define PID_LASTAUTHOR 8
#define PID_REVNUMBER 9 // the package code
#define PID_PAGECOUNT 14
#define PID_WORDCOUNT 15
#define PID_APPNAME 18

// Property types.
#define VT_EMPTY 0
#define VT_I2 2
#define VT_I4 3
#define VT_LPSTR 30
#define VT_FILETIME 64

// 0 for a package; ERROR_INSTALL_PACKAGE_OPEN_FAILED for a file that cannot be opened,
// ERROR_INSTALL_PACKAGE_INVALID for one without the signature.
UINT MsiVerifyPackageA(LPCSTR packagePath);
// The summary information of a package file (`database` must be 0: no databases are opened here); the same
// codes as MsiVerifyPackageA, ERROR_INVALID_PARAMETER without a path or a place for the handle.
UINT MsiGetSummaryInformationA(MSIHANDLE database, LPCSTR databasePath, UINT updateCount, MSIHANDLE* summaryInfo);
// Every property a package names is text (VT_LPSTR). The text goes to `valueBuf` when it fits in
// *valueBufSize characters with its NUL, and *valueBufSize becomes its length; when it does not fit, as much as
// fits is copied and ended, *valueBufSize becomes the length needed (without the NUL) and the result is
// ERROR_MORE_DATA. An absent property is VT_EMPTY, 0 and empty text. ERROR_INVALID_HANDLE for a handle that is
// not summary information.
UINT MsiSummaryInfoGetPropertyA(MSIHANDLE summaryInfo, UINT property, UINT* dataType, INT* intValue, FILETIME* fileTime,
                                LPSTR valueBuf, DWORD* valueBufSize);
// ERROR_INVALID_HANDLE for a handle that is not open.
UINT MsiCloseHandle(MSIHANDLE handle);
