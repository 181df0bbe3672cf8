// The decoded records of a capture as one HTML page, written by the decoders through the HTML back-end the
// Log Details mark-up uses: each record's header fields, then its kind's body.
#pragma once

#include "afx.h"

class CUSBLog;

namespace tdl::session {

// The first `nMaxRecords` records of the document's list, in list order, to a page at `lpszPath`. The number
// written; -1 when the file could not be made or a write failed.
INT_PTR WriteRecordsPage(CUSBLog& document, LPCSTR lpszPath, INT_PTR nMaxRecords);

} // namespace tdl::session
