// Simulation control of the drawing context (not part of the platform's interface): the count of live GDI
// objects, a log of what DCs draw, failures of DC creation, and the font configuration text is laid out with.
#pragma once

#include <string>
#include <vector>

#include "WinGdi.h"

namespace win32 {

// Pens, brushes, fonts, bitmaps, regions and DCs alive now; stock objects and system-colour brushes are not
// counted. A test compares it before and after the code under test to catch a leak.
size_t GdiObjectCount();

// One drawing call on a logged DC. `rect` is in the DC's logical coordinates (for a line, its two ends; for
// text, the rectangle or the point it was drawn at); `rop` the raster operation where the call has one (0
// otherwise); `text` the text drawn, if any.
struct GdiCall {
    std::string kind; // "FillRect", "BitBlt", "DrawText", "LineTo", ...
    HDC dc;
    HWND hwnd; // the window a window DC paints, null for other DCs
    RECT rect;
    DWORD rop;
    std::string text;
};
// Starts recording the calls made on DCs of `hwnd`, or on every DC when `hwnd` is null; a new start drops
// what was recorded.
void StartGdiCallLog(HWND hwnd = nullptr);
void StopGdiCallLog();
std::vector<GdiCall> GdiCallLog();

// The next `count` DC creations (CreateCompatibleDC, CreateDC, window DCs through the window manager) fail;
// 0 ends the failures.
void FailDcCreation(unsigned count);

// Pages printed through printer DCs (CreateDC of a printer, StartDoc, StartPage, EndPage), oldest first: each
// page as the printer DC drew it (816 x 1056 pixels, US Letter at 96 dots per inch).
size_t PrintedPageCount();
// A printed page's pixel, CLR_INVALID outside it or for no such page.
COLORREF PrintedPagePixel(size_t page, int x, int y);
// Writes a printed page as a PNG file; FALSE (last error set) for no such page or a file that cannot be written.
BOOL WritePrintedPagePng(size_t page, const char* path);
void ClearPrintedPages();

// The faces text is drawn in: the family a logical font resolves to ("Tahoma", "Marlett", "DejaVu Sans" or
// "DejaVu Sans Mono"), and the font files the private configuration loaded.
std::string FontFamilyFor(const LOGFONTA& font);
std::vector<std::string> LoadedFontFiles();

} // namespace win32
