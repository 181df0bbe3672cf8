// The application object a window benchmark needs before it makes a window: one per process, never destroyed,
// since the framework's objects may still reach it while the process ends. Header only: each benchmark is a
// program of its own.
#pragma once

#include "afxwin.h"

namespace tdl::bench {

inline CWinApp& TheApp() {
    static CWinApp* s_pApp = new CWinApp("Tindaloft");
    return *s_pApp;
}

} // namespace tdl::bench
