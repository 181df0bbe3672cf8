#include "GdiFont.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <hb.h>
#include <pango/pangocairo.h>
#include <strings.h>

#include "TextContext.h"

namespace win32::internal {

namespace {

// The characters 0x80 to 0x9F of Windows-1252 (0 where the code page has none).
constexpr char16_t kCp1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The em size for lfHeight: negative is the em itself, positive the cell (ascent and descent), which the faces
// make about 2384/2048 of the em (Font's constructor settles it on the hinted cell).
double EmPixels(LONG height) {
    // Far larger than any text of the program, and small enough for a glyph cache.
    constexpr double kLargestEm = 1000;
    if (height == 0)
        return kDefaultFontEm;
    if (height < 0)
        return std::min(kLargestEm, -static_cast<double>(height));
    return std::clamp(std::round(height * 2048.0 / 2384.0), 1.0, kLargestEm);
}

// A line of the described face at its size as pango lays it out: its height and its baseline.
struct PangoLine {
    int height = 0;
    int baseline = 0;
};

PangoLine LineOf(const PangoFontDescription* description) {
    PangoLayout* layout = pango_layout_new(ThreadTextContext());
    pango_layout_set_font_description(layout, description);
    pango_layout_set_text(layout, "X", 1);
    PangoRectangle logical;
    pango_layout_get_pixel_extents(layout, nullptr, &logical);
    PangoLine line{logical.height, PANGO_PIXELS(pango_layout_get_baseline(layout))};
    g_object_unref(layout);
    return line;
}

// The described face's ascent and descent above and below the baseline as Windows takes them: the OS/2 table's
// usWinAscent and usWinDescent (design units, with the units per em). All zero when the face has no such table.
struct WinVertical {
    unsigned upem = 0;
    unsigned ascent = 0;
    unsigned descent = 0;
};

WinVertical WinVerticalOf(const PangoFontDescription* description) {
    WinVertical vertical;
    PangoFont* font = pango_context_load_font(ThreadTextContext(), description);
    if (!font)
        return vertical;
    hb_face_t* face = hb_font_get_face(pango_font_get_hb_font(font));
    hb_blob_t* os2 = hb_face_reference_table(face, HB_TAG('O', 'S', '/', '2'));
    unsigned length = 0;
    const auto* data = reinterpret_cast<const unsigned char*>(hb_blob_get_data(os2, &length));
    constexpr unsigned kWinAscent = 74, kWinDescent = 76; // big-endian 16-bit fields of every OS/2 version
    if (data && length >= kWinDescent + 2) {
        vertical.upem = hb_face_get_upem(face);
        vertical.ascent = (data[kWinAscent] << 8) | data[kWinAscent + 1];
        vertical.descent = (data[kWinDescent] << 8) | data[kWinDescent + 1];
    }
    hb_blob_destroy(os2);
    g_object_unref(font);
    return vertical;
}

} // namespace

std::string Utf8FromAnsi(std::string_view text, std::vector<int>* offsets) {
    std::string out;
    out.reserve(text.size());
    if (offsets)
        offsets->clear();
    for (char ch : text) {
        if (offsets)
            offsets->push_back(static_cast<int>(out.size()));
        auto c = static_cast<unsigned char>(ch);
        char32_t code = c;
        if (c >= 0x80 && c < 0xA0)
            code = kCp1252High[c - 0x80];
        // A control character, or a byte Windows-1252 leaves empty, is a blank cell of the font (pango stops at a
        // NUL, and draws other controls as boxes of hex digits wider than a character): tabs and line ends stay
        // for the callers that lay them out.
        if (code == 0 || (code < 0x20 && code != '\t' && code != '\n' && code != '\r') || code == 0x7F)
            code = ' ';
        // The soft hyphen is drawn as the font's hyphen, as Windows draws it (pango would hide it).
        if (code == 0xAD)
            code = '-';
        AppendUtf8(out, code);
    }
    if (offsets)
        offsets->push_back(static_cast<int>(out.size()));
    return out;
}

const char* FamilyFor(const LOGFONTA& logFont) {
    // The faces with a family of their own, as Windows' font substitutes name them.
    static constexpr struct {
        const char* face;
        const char* family;
    } kFaces[] = {
        {"MS Shell Dlg", kUiFamily},  {"MS Shell Dlg 2", kUiFamily},       {"Tahoma", kUiFamily},
        {"MS Sans Serif", kUiFamily}, {"Microsoft Sans Serif", kUiFamily}, {"Marlett", kSymbolFamily},
        {"Courier", kMonoFamily},     {"Courier New", kMonoFamily},        {"Lucida Console", kMonoFamily},
    };
    char face[LF_FACESIZE + 1] = {};
    std::memcpy(face, logFont.lfFaceName, LF_FACESIZE);
    for (const auto& entry : kFaces)
        if (strcasecmp(face, entry.face) == 0)
            return HasFamily(entry.family) ? entry.family : kSansFamily;
    return (logFont.lfPitchAndFamily & 0x3) == FIXED_PITCH ? kMonoFamily : kSansFamily;
}

Font::Font(const LOGFONTA& logFont) : logFont_(logFont), family_(FamilyFor(logFont)), mono_(family_ == kMonoFamily) {
    logFont_.lfFaceName[LF_FACESIZE - 1] = '\0';
    description_ = pango_font_description_new();
    pango_font_description_set_family_static(description_, family_);
    em_ = EmPixels(logFont.lfHeight);
    pango_font_description_set_absolute_size(description_, em_ * PANGO_SCALE);
    pango_font_description_set_weight(description_,
                                      logFont.lfWeight >= FW_SEMIBOLD ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_style(description_, logFont.lfItalic ? PANGO_STYLE_OBLIQUE : PANGO_STYLE_NORMAL);
    // The faces made to Windows' metrics get Windows' cell: their win ascent and descent at the em, rounded.
    // Pango would lay their lines out by the smaller typographic metrics these files flag for use.
    const WinVertical vertical =
        (family_ == kUiFamily || family_ == kSymbolFamily) ? WinVerticalOf(description_) : WinVertical{};
    auto settle = [&] {
        pango_font_description_set_absolute_size(description_, em_ * PANGO_SCALE);
        const PangoLine line = LineOf(description_);
        if (vertical.upem == 0) {
            cell_ = {line.height, line.baseline, 0, 0};
            return;
        }
        const int ascent = static_cast<int>(std::lround(vertical.ascent * em_ / vertical.upem));
        const int descent = static_cast<int>(std::lround(vertical.descent * em_ / vertical.upem));
        cell_ = {ascent + descent, ascent, ascent - line.baseline, descent - (line.height - line.baseline)};
    };
    settle();
    if (logFont.lfHeight > 0) {
        // A cell height asks for the largest em whose cell is no taller.
        while (em_ > 1 && cell_.height > logFont.lfHeight) {
            em_ -= 1;
            settle();
        }
    }
}

Font::~Font() {
    pango_font_description_free(description_);
}

const TEXTMETRICA& Font::Metrics() const {
    std::call_once(measured_, [this] {
        TextLayout cell(*this, "X");
        SIZE size = cell.Extent();
        TEXTMETRICA& m = metrics_;
        m.tmHeight = size.cy;
        m.tmAscent = cell.Baseline();
        m.tmDescent = m.tmHeight - m.tmAscent;
        m.tmInternalLeading = std::max<LONG>(0, m.tmHeight - static_cast<LONG>(em_ + 0.5));
        m.tmExternalLeading = 0;
        // The average as dialog units reckon it: the 52 letters' extent over 52, rounded.
        TextLayout letters(*this, "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ");
        m.tmAveCharWidth = (letters.Extent().cx + 26) / 52;
        TextLayout widest(*this, "W");
        m.tmMaxCharWidth = std::max(widest.Extent().cx, m.tmAveCharWidth);
        m.tmWeight = logFont_.lfWeight == FW_DONTCARE ? FW_NORMAL : logFont_.lfWeight;
        m.tmOverhang = 0;
        m.tmDigitizedAspectX = 96;
        m.tmDigitizedAspectY = 96;
        m.tmFirstChar = 0x20;
        m.tmLastChar = 0xFF;
        m.tmDefaultChar = 0x1F;
        m.tmBreakChar = 0x20;
        m.tmItalic = logFont_.lfItalic ? 1 : 0;
        m.tmUnderlined = logFont_.lfUnderline ? 1 : 0;
        m.tmStruckOut = logFont_.lfStrikeOut ? 1 : 0;
        m.tmPitchAndFamily =
            static_cast<BYTE>((mono_ ? FF_MODERN : FF_SWISS | TMPF_FIXED_PITCH) | TMPF_TRUETYPE | TMPF_VECTOR);
        m.tmCharSet = ANSI_CHARSET;
    });
    return metrics_;
}

TextLayout::TextLayout(const Font& font, std::string_view text) : cell_(font.Cell()) {
    layout_ = pango_layout_new(ThreadTextContext());
    pango_layout_set_font_description(layout_, font.Description());
    if (cell_.lead + cell_.trail != 0)
        pango_layout_set_spacing(layout_, (cell_.lead + cell_.trail) * PANGO_SCALE); // lines a cell apart
    std::string utf8 = Utf8FromAnsi(text, &offsets_);
    pango_layout_set_text(layout_, utf8.data(), static_cast<int>(utf8.size()));
    attributes_ = pango_attr_list_new();
    const LOGFONTA& lf = font.LogFont();
    if (lf.lfUnderline)
        pango_attr_list_insert(attributes_, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
    if (lf.lfStrikeOut)
        pango_attr_list_insert(attributes_, pango_attr_strikethrough_new(TRUE));
    pango_layout_set_attributes(layout_, attributes_);
}

TextLayout::~TextLayout() {
    pango_attr_list_unref(attributes_);
    g_object_unref(layout_);
}

SIZE TextLayout::Extent() const {
    PangoRectangle logical;
    pango_layout_get_pixel_extents(layout_, nullptr, &logical);
    return SIZE{logical.width, logical.height + cell_.lead + cell_.trail};
}

int TextLayout::Baseline() const {
    return PANGO_PIXELS(pango_layout_get_baseline(layout_)) + cell_.lead;
}

void TextLayout::UnderlineCharacter(size_t index) {
    if (index >= Length())
        return;
    PangoAttribute* underline = pango_attr_underline_new(PANGO_UNDERLINE_SINGLE);
    underline->start_index = static_cast<guint>(offsets_[index]);
    underline->end_index = static_cast<guint>(offsets_[index + 1]);
    pango_attr_list_change(attributes_, underline);
    pango_layout_set_attributes(layout_, attributes_);
}

} // namespace win32::internal
