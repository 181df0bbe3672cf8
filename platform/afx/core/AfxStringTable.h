// The program's string table: the texts that the resource compiler would place in the executable,
// registered by the program at start-up and read with CString::LoadString or AfxLoadString.
#pragma once

#include <cstddef>

#include "AfxDefs.h"

class CString;

struct AFX_STRING_ENTRY {
    UINT nID;
    LPCSTR lpszText;
};

// Adds (or replaces) entries; the texts are copied.
void AFXAPI AfxRegisterStringTable(const AFX_STRING_ENTRY* pEntries, size_t nCount);
void AFXAPI AfxRegisterString(UINT nID, LPCSTR lpszText);

// String nID into rString; FALSE, and rString unchanged, when the table has no such string.
BOOL AFXAPI AfxLoadString(UINT nID, CString& rString);
// String nID into a buffer of nMaxBuf characters (truncated, always terminated); the number of characters
// copied, 0 when the table has no such string.
int AFXAPI AfxLoadString(UINT nID, LPTSTR lpszBuf, UINT nMaxBuf);

// A string of the framework itself (AFX_IDS_*, AFX_IDP_*): the program's text when its table has one, else
// the framework's own.
CString AFXAPI AfxFrameworkString(UINT nID);
