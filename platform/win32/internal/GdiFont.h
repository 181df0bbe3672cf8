// A logical font and the face it resolves to (TextContext.h), with the metrics of that face measured once from a
// pango layout like the ones that draw text.
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

// A font's cell: its height and ascent in pixels, and how far the cell reaches above (lead) and below (trail)
// the line pango lays out for the face (both 0 for the faces whose cell is pango's line).
struct FontCell {
    int height = 0;
    int ascent = 0;
    int lead = 0;
    int trail = 0;
};

class Font : public GdiObject {
public:
    explicit Font(const LOGFONTA& logFont);
    ~Font() override;
    GdiKind Kind() const override { return GdiKind::Font; }

    const LOGFONTA& LogFont() const { return logFont_; }
    bool Monospace() const { return mono_; }
    const char* Family() const { return family_; }
    const PangoFontDescription* Description() const { return description_; }
    const FontCell& Cell() const { return cell_; }
    // Measured on first use; the same on every thread.
    const TEXTMETRICA& Metrics() const;

private:
    LOGFONTA logFont_;
    const char* family_;
    bool mono_;
    double em_; // pixels
    PangoFontDescription* description_;
    FontCell cell_;
    mutable std::once_flag measured_;
    mutable TEXTMETRICA metrics_{};
};

// The family a logical font is drawn in: the dialog and UI faces ("MS Shell Dlg", "MS Shell Dlg 2", "Tahoma",
// "MS Sans Serif", "Microsoft Sans Serif") in Tahoma, "Marlett" in Marlett, the "Courier" and "Lucida Console"
// faces and other fixed-pitch requests in DejaVu Sans Mono, everything else in DejaVu Sans (also when a face's
// font file is missing).
const char* FamilyFor(const LOGFONTA& logFont);

// An 8-bit (Windows-1252) text laid out on the calling thread in a font. Offsets of the 8-bit characters in
// the UTF-8 text pango reads are kept, so attributes and positions can name 8-bit characters.
class TextLayout {
public:
    TextLayout(const Font& font, std::string_view text);
    ~TextLayout();
    TextLayout(const TextLayout&) = delete;
    TextLayout& operator=(const TextLayout&) = delete;

    PangoLayout* Get() const { return layout_; }
    // Width and height of the laid-out text (logical extents, lines a cell high).
    SIZE Extent() const;
    int Baseline() const;
    // How far below the layout's top pango's first line starts (where pango draws the layout from).
    int Lead() const { return cell_.lead; }
    // UTF-8 offset of 8-bit character `index` (index == length gives the end).
    int ByteOffset(size_t index) const { return offsets_[index]; }
    size_t Length() const { return offsets_.size() - 1; }
    // Underlines 8-bit character `index` (the '&' prefix of menus and labels).
    void UnderlineCharacter(size_t index);

private:
    FontCell cell_;
    PangoLayout* layout_;
    std::vector<int> offsets_;
    PangoAttrList* attributes_;
};

// Windows-1252 to UTF-8, a control character (not a tab or line end) or an empty byte of the code page as a
// blank; offsets (optional) receives the UTF-8 offset of each input character and the end.
std::string Utf8FromAnsi(std::string_view text, std::vector<int>* offsets = nullptr);

} // namespace win32::internal
