#include "TextContext.h"

#include <fontconfig/fontconfig.h>
#include <mutex>
#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>
#include <unistd.h>

namespace win32::internal {

namespace {

struct FontFile {
    const char* folder;
    const char* name;
    const char* family;
};

// fonts-wine's MS Sans Serif is left out: it is a bitmap face whose advances do not match its strikes once
// text is shaped, so its text runs together; Tahoma, which has its metrics at the dialog sizes, stands in.
constexpr FontFile kFontFiles[] = {
    {kFontFolder, "DejaVuSans.ttf", kSansFamily},       {kFontFolder, "DejaVuSans-Bold.ttf", kSansFamily},
    {kFontFolder, "DejaVuSansMono.ttf", kMonoFamily},   {kFontFolder, "DejaVuSansMono-Bold.ttf", kMonoFamily},
    {kWindowsFontFolder, "tahoma.ttf", kUiFamily},      {kWindowsFontFolder, "tahomabd.ttf", kUiFamily},
    {kWindowsFontFolder, "marlett.ttf", kSymbolFamily},
};

bool Readable(const FontFile& file) {
    return access((std::string(file.folder) + file.name).c_str(), R_OK) == 0;
}

FcConfig* PrivateConfig() {
    static FcConfig* config = [] {
        // No configuration files are read: no rules of the machine's own can change the faces or hinting.
        FcConfig* c = FcConfigCreate();
        for (const std::string& file : FontFiles())
            FcConfigAppFontAddFile(c, reinterpret_cast<const FcChar8*>(file.c_str()));
        return c; // kept for the life of the process: every thread's font map refers to it
    }();
    return config;
}

cairo_font_options_t* FixedFontOptions() {
    static cairo_font_options_t* options = [] {
        cairo_font_options_t* o = cairo_font_options_create();
        cairo_font_options_set_antialias(o, CAIRO_ANTIALIAS_GRAY);
        cairo_font_options_set_hint_style(o, CAIRO_HINT_STYLE_FULL);
        // Whole-pixel advances: extents are sums of integer widths, as the platform's are.
        cairo_font_options_set_hint_metrics(o, CAIRO_HINT_METRICS_ON);
        cairo_font_options_set_subpixel_order(o, CAIRO_SUBPIXEL_ORDER_DEFAULT);
        return o;
    }();
    return options;
}

struct ThreadText {
    PangoFontMap* map = nullptr;
    PangoContext* context = nullptr;
    ~ThreadText() {
        if (context)
            g_object_unref(context);
        if (map)
            g_object_unref(map);
    }
};

thread_local ThreadText t_text;

} // namespace

const std::vector<std::string>& FontFiles() {
    static const std::vector<std::string> files = [] {
        std::vector<std::string> found;
        for (const FontFile& file : kFontFiles)
            if (Readable(file))
                found.push_back(std::string(file.folder) + file.name);
        return found;
    }();
    return files;
}

bool HasFamily(const char* family) {
    const std::string wanted = family;
    for (const FontFile& file : kFontFiles)
        if (wanted == file.family && Readable(file))
            return true;
    return false;
}

PangoContext* ThreadTextContext() {
    if (!t_text.context) {
        FcConfig* config = PrivateConfig();
        t_text.map = pango_cairo_font_map_new_for_font_type(CAIRO_FONT_TYPE_FT);
        pango_fc_font_map_set_config(PANGO_FC_FONT_MAP(t_text.map), config);
        pango_cairo_font_map_set_resolution(PANGO_CAIRO_FONT_MAP(t_text.map), 96.0);
        t_text.context = pango_font_map_create_context(t_text.map);
        pango_cairo_context_set_font_options(t_text.context, FixedFontOptions());
        pango_cairo_context_set_resolution(t_text.context, 96.0);
        pango_context_set_round_glyph_positions(t_text.context, TRUE);
        pango_context_set_language(t_text.context, pango_language_from_string("en-us"));
    }
    return t_text.context;
}

} // namespace win32::internal
