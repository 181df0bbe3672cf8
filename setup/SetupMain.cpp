// The set-up program's entry point.
#include "Setup.h"
#include "SetupPayloadData.h"
#include "SetupResources.h"
#include "WinResourceTable.h"
#include "platform/display/DisplayHost.h"

int main() {
    // What the resource compiler would have put into the program: its resources and the payload the build made.
    HMODULE self = GetModuleHandleA(nullptr);
    RegisterSetupResources(self);
    win32::RegisterRawResource(self, RT_RCDATA, MAKEINTRESOURCEA(1), kSetupPayload, kSetupPayloadSize);
    // Where an X display answers, the boxes are shown there and answered by the person.
    const bool displayAttached = display::AttachDisplayHost();
    const int result = RunSetup(self);
    if (displayAttached)
        display::DetachDisplayHost();
    return result;
}
