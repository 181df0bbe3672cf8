#include "GdiFont.h"

#include <algorithm>
#include <cmath>
#include <cstring>
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

// The em size for lfHeight: negative is the em itself, positive the cell (ascent and descent), which DejaVu
// makes about 2384/2048 of the em (Font's constructor settles it on the hinted cell).
double EmPixels(LONG height) {
    // Far larger than any text of the program, and small enough for a glyph cache.
    constexpr double kLargestEm = 1000;
    if (height == 0)
        return kDefaultFontEm;
    if (height < 0)
        return std::min(kLargestEm, -static_cast<double>(height));
    return std::clamp(std::round(height * 2048.0 / 2384.0), 1.0, kLargestEm);
}

// The height of a line of the described face at its size, as layouts measure it.
int CellHeight(const PangoFontDescription* description) {
    PangoLayout* layout = pango_layout_new(ThreadTextContext());
    pango_layout_set_font_description(layout, description);
    pango_layout_set_text(layout, "X", 1);
    PangoRectangle logical;
    pango_layout_get_pixel_extents(layout, nullptr, &logical);
    g_object_unref(layout);
    return logical.height;
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
            code = kCp1252High[c - 0x80] ? kCp1252High[c - 0x80] : 0xFFFD;
        else if (c == 0)
            code = ' '; // pango stops at a NUL; the platform draws it as a blank cell
        AppendUtf8(out, code);
    }
    if (offsets)
        offsets->push_back(static_cast<int>(out.size()));
    return out;
}

bool WantsMonospace(const LOGFONTA& logFont) {
    char face[LF_FACESIZE + 1] = {};
    std::memcpy(face, logFont.lfFaceName, LF_FACESIZE);
    for (const char* mono : {"Courier", "Courier New", "Lucida Console"})
        if (strcasecmp(face, mono) == 0)
            return true;
    return (logFont.lfPitchAndFamily & 0x3) == FIXED_PITCH;
}

Font::Font(const LOGFONTA& logFont) : logFont_(logFont), mono_(WantsMonospace(logFont)) {
    logFont_.lfFaceName[LF_FACESIZE - 1] = '\0';
    description_ = pango_font_description_new();
    pango_font_description_set_family_static(description_, Family());
    em_ = EmPixels(logFont.lfHeight);
    pango_font_description_set_absolute_size(description_, em_ * PANGO_SCALE);
    pango_font_description_set_weight(description_,
                                      logFont.lfWeight >= FW_SEMIBOLD ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_style(description_, logFont.lfItalic ? PANGO_STYLE_OBLIQUE : PANGO_STYLE_NORMAL);
    if (logFont.lfHeight > 0) {
        // A cell height asks for the largest em whose hinted cell is no taller.
        while (em_ > 1 && CellHeight(description_) > logFont.lfHeight) {
            em_ -= 1;
            pango_font_description_set_absolute_size(description_, em_ * PANGO_SCALE);
        }
    }
}

Font::~Font() {
    pango_font_description_free(description_);
}

const char* Font::Family() const {
    return mono_ ? kMonoFamily : kSansFamily;
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

TextLayout::TextLayout(const Font& font, std::string_view text) {
    layout_ = pango_layout_new(ThreadTextContext());
    pango_layout_set_font_description(layout_, font.Description());
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
    return SIZE{logical.width, logical.height};
}

int TextLayout::Baseline() const {
    return PANGO_PIXELS(pango_layout_get_baseline(layout_));
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
