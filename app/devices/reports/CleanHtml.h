// CleanHtml: the HTML report's escaper, a mark-up document used for nothing but its text escaping.
#pragma once

#include "Markup.h"

class CleanHtml : public CMarkup {
public:
    CleanHtml() = default;
    ~CleanHtml() override;

    // The text with "<", "&", ">" and, with escapeQuotes (the report passes it), "'" and '"' as entities, in
    // `out`; C0 controls other than TAB, LF and CR become '?'. Every other byte is copied.
    CString& Escape(CString& out, LPCSTR text, bool escapeQuotes = true);
};
