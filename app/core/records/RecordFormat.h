// RecordFormat: the cell texts and row colours of the record list, each made from one record view. The list
// formats every visible cell whenever it paints, so these read the record in place and write only the
// caller's string: no temporary strings, no formatting beyond the cell's own text. A field the record does
// not hold within its DataSize shows the column's fallback, never bytes past the record.
#pragma once

#include "afx.h"
#include "app/core/records/LogRecordDecode.h"
#include "windef.h"

namespace RecordFormat {

// Elapsed-time units of the list view.
enum TimeUnit : int { UnitSeconds = 0, UnitMilliseconds = 1, UnitMicroseconds = 2 };

// Colours of one cell, as 0x00BBGGRR.
struct CellColours {
    COLORREF text;
    COLORREF background;
};

// Column 0: the kind and state texts (" URB", "init"); " ???" and "none" without a record.
void Category(const CLogRecordDecode& view, CString& type, CString& disposition);
// Column 2: the request's name.
void Request(const CLogRecordDecode& view, CString& text);
// Column 3: "IN", "OUT" or "--".
void Direction(const CLogRecordDecode& view, CString& text);
// Column 4: the time from `reference` to the record's time stamp in the unit; "0.00" without a record, with
// frequency 0 or an unknown unit.
void ElapsedTime(const CLogRecordDecode& view, LONGLONG reference, LONGLONG frequency, int unit, CString& text);
// Column 5: the target device object's name or address, a driver's name, a stack's device id.
void TargetDeviceObject(const CLogRecordDecode& view, CString& text);
// Column 6: the description of the stack the target device object belongs to; "---" when unknown.
void TargetDevice(const CLogRecordDecode& view, CString& text);
// Column 7: "%02x : %02x : %02x" of the pipe's device byte, interface and endpoint.
void CfgIfcEp(const CLogRecordDecode& view, CString& text);
// Column 8: a completed isochronous transfer's error and zero-length packet counts.
void IsoErrors(const CLogRecordDecode& view, CString& text);
// Columns 9 and 10: tag and command byte of a bulk-only command wrapper, tag and status of a status wrapper.
void Cbw(const CLogRecordDecode& view, CString& text);
void Csw(const CLogRecordDecode& view, CString& text);
// Column 12: the IRP's address.
void IrpAddress(const CLogRecordDecode& view, CString& text);
// Column 13: the short NTSTATUS name on returned and completed requests.
void IrpStatus(const CLogRecordDecode& view, CString& text);

// The colours of the record's kind (the first column); the system window colours for other kinds.
CellColours KindColours(const CLogRecordDecode& view);
// The colours of the other columns: a record after a sequence gap, the trigger record, else the system's.
CellColours Highlight(const CLogRecordDecode& view, ULONG triggerSequence);

} // namespace RecordFormat
