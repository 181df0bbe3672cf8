#include "GkTextMeasure.h"

#include <cstring>

CGkTextMeasure::CGkTextMeasure(HGDIOBJ hFont) : m_hDC(::CreateCompatibleDC(nullptr)) {
    if (m_hDC)
        m_hOldFont = ::SelectObject(m_hDC, hFont);
}

CGkTextMeasure::~CGkTextMeasure() {
    if (!m_hDC)
        return;
    ::SelectObject(m_hDC, m_hOldFont);
    ::DeleteDC(m_hDC);
}

CSize CGkTextMeasure::GetTextExtent(LPCTSTR lpszText) const {
    SIZE size{0, 0};
    if (m_hDC && lpszText)
        ::GetTextExtentPoint32A(m_hDC, lpszText, static_cast<int>(std::strlen(lpszText)), &size);
    return CSize(size.cx, size.cy);
}

int CGkTextMeasure::GetTextHeight() const {
    TEXTMETRICA tm{};
    if (!m_hDC || !::GetTextMetricsA(m_hDC, &tm))
        return 0;
    return tm.tmHeight;
}
