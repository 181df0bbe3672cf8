// Start-up of the COM/OLE libraries, the control container and the rich-edit library.
#include <atomic>

#include "AfxOleControl.h"
#include "AfxWinApp.h"

namespace {

std::atomic<bool> g_oleInitFails{false};
std::atomic<bool> g_oleInitialized{false};
std::atomic<bool> g_controlContainer{false};

} // namespace

BOOL AFXAPI AfxOleInit() {
    if (g_oleInitFails)
        return FALSE;
    g_oleInitialized = true;
    return TRUE;
}

void AFXAPI AfxEnableControlContainer() {
    g_controlContainer = true;
}

BOOL AFXAPI AfxInitRichEdit2() {
    return TRUE;
}

namespace afx {

void SetOleInitFails(bool fails) {
    g_oleInitFails = fails;
}

bool OleInitialized() {
    return g_oleInitialized;
}

bool ControlContainerEnabled() {
    return g_controlContainer;
}

void ResetOleState() {
    g_oleInitFails = false;
    g_oleInitialized = false;
    g_controlContainer = false;
}

} // namespace afx
