// The Log Details grid and the way a record is decoded into it, apart from the pane's window, so that tests
// and benchmarks that show records on a grid of their own build the same grid and run the same protocol.
#pragma once

#include "afx.h"

class CGkPropertyGrid;
class CUSBLog;
class LogOutputer;
class OutputerImp;
struct _LOGHDR;

// The grid's top-level categories in the order they are made, which is also the order a record's display
// hides them in: the record's own three, then one per record kind, which the decoders fill.
inline constexpr const char* kLogDetailsCategories[] = {"Log Entry", "Target", "IRP", "URB", "CBW", "CSW",  "USBINT",
                                                        "PNP",       "PWR",    "HCD", "HID", "HUB", "IHUB", "MPORT"};
// The first kind category's index in kLogDetailsCategories.
inline constexpr int kLogDetailsFirstKindCategory = 3;

// The grid's look (theme, in-place buttons always shown, a low help area, changed values highlighted) and its
// categories with their read-only items, captions, ids and descriptions, all expanded and only "Log Entry"
// shown. Works on a grid with or without a window; the grid is expected to be empty.
void BuildLogDetailsGrid(CGkPropertyGrid& grid);

// How a decoder is made for a record: LogOutputer::Create, or a stand-in.
using LogDecoderFactory = LogOutputer* (*)(OutputerImp* pImp, CUSBLog* pDocument, const _LOGHDR* pRecord);

// One record shown through the back-end: its decoder made, every category hidden, the decoder's grid form run
// (log entry, target, IRP fields, then its kind in grid mode) and the decoder deleted. FALSE, with nothing
// changed, when no decoder could be made.
BOOL DecodeLogRecord(OutputerImp& backEnd, CUSBLog* pDocument, const _LOGHDR* pRecord,
                     LogDecoderFactory pfnCreate = nullptr);
