// What both device reports say about the program and the machine they were written on.
#pragma once

#include <afx.h>

namespace device_report {

// The capture file layout the reports describe their objects in.
constexpr int kBinarySchema = 12;

// The program file's version "a,b,c,d": "a.b.c" in `version`, "d" in `build` (numbers missing from the
// version resource read as 0).
void GetVersionStrings(CString& version, CString& build);
// The clock's UTC fields, "2026-12-10 10:24:46" (HTML) or "2026-12-10T10:24:46" (XML). They are printed as
// they are: a round trip through local time would shift them inside a daylight-saving gap.
CString TimeStamp(bool xmlForm);
// The application's machine name and its Windows description; empty without an application object.
CString MachineName();
CString WindowsPlatform();

} // namespace device_report
