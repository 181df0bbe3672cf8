// Text layout for the drawing context. Fonts come from a private fontconfig configuration that loads only the
// files named here, with fixed hinting, antialiasing and 96 dots per inch, so text measures and draws the same
// on every machine whatever its own font configuration: the Tahoma and Marlett of fonts-wine, made to the
// metrics of the Windows faces of the same names (the dialog and UI faces, and the symbols of caption
// buttons, scroll arrows, check marks and radio dots), and the DejaVu faces of fonts-dejavu-core for every
// other face and for the monospace ones. Pango's font maps are not safe to share between threads, so each
// thread lays out text with a font map and context of its own over the one configuration.
#pragma once

#include <pango/pango.h>
#include <string>
#include <vector>

namespace win32::internal {

constexpr const char* kFontFolder = "/usr/share/fonts/truetype/dejavu/";
constexpr const char* kWindowsFontFolder = "/usr/share/wine/fonts/";
constexpr const char* kSansFamily = "DejaVu Sans";
constexpr const char* kMonoFamily = "DejaVu Sans Mono";
constexpr const char* kUiFamily = "Tahoma";
constexpr const char* kSymbolFamily = "Marlett";

// The font files the configuration loads (full paths); a file that is missing is left out.
const std::vector<std::string>& FontFiles();
// Whether the configuration holds a face of that family (one of the families above).
bool HasFamily(const char* family);
// The calling thread's pango context over the private configuration.
PangoContext* ThreadTextContext();

} // namespace win32::internal
