// CWaitCursor: the wait cursor for the life of the object (on the stack around a long operation).
#pragma once

#include "AfxDefs.h"
#include "windows.h"

class CWaitCursor {
public:
    CWaitCursor();
    ~CWaitCursor();
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
    // Shows the wait cursor again after something (a message box) changed it.
    void Restore();

private:
    HCURSOR m_hcurPrevious;
};
