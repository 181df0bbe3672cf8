// The decoded records of a capture as one page a browser opens: what the analyzer shows a user of each record.
// A table with one row per record, carrying the record list's columns as the record store formats them, in
// the list's colours; under each row, in a block the reader opens, the record's decode as the Log Details pane
// shows it (its categories, items and values, nested) and the bytes the decoder put in the data bar as a hex
// dump. The text is escaped and written in UTF-8, which the page declares.
#pragma once

#include "afx.h"

class CUSBLog;

namespace tdl::session {

// The first `nMaxRecords` records of the document's list, in list order, to a page at `lpszPath`; the page
// says how many records the capture holds. The number written; -1 when the file could not be made or a write
// failed.
INT_PTR WriteRecordsPage(CUSBLog& document, LPCSTR lpszPath, INT_PTR nMaxRecords);

} // namespace tdl::session
