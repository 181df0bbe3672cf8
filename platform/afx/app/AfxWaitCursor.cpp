#include "AfxWaitCursor.h"

CWaitCursor::CWaitCursor() : m_hcurPrevious(::SetCursor(::LoadCursorA(nullptr, IDC_WAIT))) {}

CWaitCursor::~CWaitCursor() {
    ::SetCursor(m_hcurPrevious != nullptr ? m_hcurPrevious : ::LoadCursorA(nullptr, IDC_ARROW));
}

void CWaitCursor::Restore() {
    ::SetCursor(::LoadCursorA(nullptr, IDC_WAIT));
}
