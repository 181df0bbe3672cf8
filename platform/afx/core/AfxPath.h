// Path helpers of the framework: both "\" and "/" separate folders, as the platform's file functions accept.
#pragma once

#include "AfxString.h"

// The last component of a path ("C:\logs\a.tdloft" gives "a.tdloft").
CString AFXAPI AfxFileNameOf(LPCTSTR lpszPath);
// The name without its extension ("a.tdloft" gives "a").
CString AFXAPI AfxFileTitleOf(LPCTSTR lpszPath);
// The folder of a path, without its trailing separator; "." for a bare name.
CString AFXAPI AfxFolderOf(LPCTSTR lpszPath);
// The path with its extension replaced by lpszExtension (".chm").
CString AFXAPI AfxWithExtension(LPCTSTR lpszPath, LPCTSTR lpszExtension);
// Two paths name the same file: equal but for case and the kind of separator.
BOOL AFXAPI AfxComparePath(LPCTSTR lpszPath1, LPCTSTR lpszPath2);
// The full path of a file name, as GetFullPathName gives it (the name itself when that fails).
CString AFXAPI AfxFullPath(LPCTSTR lpszFileIn);
