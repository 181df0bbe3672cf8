#include "CleanHtml.h"

CleanHtml::~CleanHtml() = default;

CString& CleanHtml::Escape(CString& out, LPCSTR text, bool escapeQuotes) {
    return EscapeText(out, text, escapeQuotes);
}
