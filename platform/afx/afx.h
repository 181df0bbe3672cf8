// The application framework as the program sees it: CObject and run-time classes, CString, the
// exceptions, files (CFile, CMemFile, CStdioFile), the archive and the program's string table. Collections
// are in afxcoll.h and afxtempl.h. Like the framework's, it brings in the platform's own header.
#pragma once

#include "windows.h"

#include "AfxArchive.h"
#include "AfxDefs.h"
#include "AfxException.h"
#include "AfxFile.h"
#include "AfxMemFile.h"
#include "AfxObject.h"
#include "AfxStdioFile.h"
#include "AfxString.h"
#include "AfxStringTable.h"
