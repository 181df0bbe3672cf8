// The seam between the window manager and the drawing context. Each window owns one surface: the image of its
// window rectangle (32-bit pixels, top-down, origin at the window's top-left corner). The window manager decides
// when and where to paint and how a top-level window's picture is composed; the drawing context (cairo and
// pango) owns the pixels and everything that draws into them.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include "WinUserTypes.h"

namespace win32::internal {

class WindowSurface;

// A cleared (white, opaque) surface of the given size; sizes below 1 are taken as 1.
std::shared_ptr<WindowSurface> CreateWindowSurface(int width, int height);
// New size; the contents are cleared (the window manager repaints a resized window whole).
void ResizeWindowSurface(WindowSurface& surface, int width, int height);
SIZE WindowSurfaceSize(const WindowSurface& surface);
// Held while a thread paints into the surface or reads it, so any thread may take a picture. Every drawing call
// on a DC of the surface takes it for the length of the call, and the calls below take it too: hold it only
// around reads of your own, never while drawing through a DC or calling them.
std::mutex& WindowSurfaceLock(WindowSurface& surface);

// A device context that draws into `surface`: logical (0, 0) lies at `origin` in surface coordinates, and
// nothing is drawn outside `clip` (surface coordinates). `hwnd` is what WindowFromDC answers. The DC keeps the
// surface alive; DeleteSurfaceDC (from ReleaseDC/EndPaint) frees it and restores no state to the caller.
HDC CreateSurfaceDC(std::shared_ptr<WindowSurface> surface, HWND hwnd, POINT origin, const RECT& clip);
BOOL DeleteSurfaceDC(HDC dc);
HWND SurfaceDCWindow(HDC dc);

// Copies `source` into `target` with its top-left corner at `at` (target coordinates), only inside `clip`
// (target coordinates): how a top-level window's picture gets its visible descendants.
void ComposeWindowSurface(WindowSurface& target, const WindowSurface& source, POINT at, const RECT& clip);
// Copies `source` with its top-left corner at `at` into a caller's buffer that holds `area` (32-bit 0x00RRGGBB
// pixels, `stride` bytes a row; all in the same coordinates), only inside `clip`.
void ComposeWindowSurfaceInto(const WindowSurface& source, POINT at, const RECT& clip, const RECT& area,
                              uint32_t* pixels, int stride);
// A pixel as a COLORREF (0x00BBGGRR); CLR_INVALID outside the surface.
COLORREF WindowSurfacePixel(const WindowSurface& surface, int x, int y);
// Writes the surface as a PNG file; FALSE with the last error set when the file cannot be written.
BOOL WriteWindowSurfacePng(const WindowSurface& surface, const char* path);

} // namespace win32::internal
