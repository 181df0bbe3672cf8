// A logical font and the DejaVu face it resolves to, with the metrics of that face measured once from a pango
// layout like the ones that draw text.
#pragma once

#include <mutex>
#include <pango/pango.h>
#include <string>
#include <string_view>
#include <vector>

#include "GdiObjects.h"
#include "WinGdi.h"

namespace win32::internal {

// The em size (pixels) that lfHeight 0 asks for: 8 points at 96 dots per inch.
constexpr int kDefaultFontEm = 11;

class Font : public GdiObject {
public:
    explicit Font(const LOGFONTA& logFont);
    ~Font() override;
    GdiKind Kind() const override { return GdiKind::Font; }

    const LOGFONTA& LogFont() const { return logFont_; }
    bool Monospace() const { return mono_; }
    const char* Family() const;
    const PangoFontDescription* Description() const { return description_; }
    // Measured on first use; the same on every thread.
    const TEXTMETRICA& Metrics() const;

private:
    LOGFONTA logFont_;
    bool mono_;
    double em_; // pixels
    PangoFontDescription* description_;
    mutable std::once_flag measured_;
    mutable TEXTMETRICA metrics_{};
};

// Whether a request gets DejaVu Sans Mono: the "Courier" and "Lucida Console" faces, and fixed-pitch requests.
bool WantsMonospace(const LOGFONTA& logFont);

// An 8-bit (Windows-1252) text laid out on the calling thread in a font. Offsets of the 8-bit characters in
// the UTF-8 text pango reads are kept, so attributes and positions can name 8-bit characters.
class TextLayout {
public:
    TextLayout(const Font& font, std::string_view text);
    ~TextLayout();
    TextLayout(const TextLayout&) = delete;
    TextLayout& operator=(const TextLayout&) = delete;

    PangoLayout* Get() const { return layout_; }
    // Width and height of the laid-out text (logical extents).
    SIZE Extent() const;
    int Baseline() const;
    // UTF-8 offset of 8-bit character `index` (index == length gives the end).
    int ByteOffset(size_t index) const { return offsets_[index]; }
    size_t Length() const { return offsets_.size() - 1; }
    // Underlines 8-bit character `index` (the '&' prefix of menus and labels).
    void UnderlineCharacter(size_t index);

private:
    PangoLayout* layout_;
    std::vector<int> offsets_;
    PangoAttrList* attributes_;
};

// Windows-1252 to UTF-8; offsets (optional) receives the UTF-8 offset of each input character and the end.
std::string Utf8FromAnsi(std::string_view text, std::vector<int>* offsets = nullptr);

} // namespace win32::internal
