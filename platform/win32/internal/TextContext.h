// Text layout for the drawing context. Fonts come from a private fontconfig configuration that loads only the
// DejaVu files of fonts-dejavu-core, with fixed hinting, antialiasing and 96 dots per inch, so text measures and
// draws the same on every machine whatever its own font configuration. Pango's font maps are not safe to share
// between threads, so each thread lays out text with a font map and context of its own over the one
// configuration.
#pragma once

#include <pango/pango.h>
#include <string>
#include <vector>

namespace win32::internal {

constexpr const char* kFontFolder = "/usr/share/fonts/truetype/dejavu/";
constexpr const char* kSansFamily = "DejaVu Sans";
constexpr const char* kMonoFamily = "DejaVu Sans Mono";

// The font files the configuration loads (full paths); a file that is missing is left out.
const std::vector<std::string>& FontFiles();
// The calling thread's pango context over the private configuration.
PangoContext* ThreadTextContext();

} // namespace win32::internal
