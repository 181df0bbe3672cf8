// The set-up program's entry point. It asks the person who started it before it installs anything, so it runs
// only where an X display answers: the boxes are shown there and answered by the person.
#include <cstdio>

#include "Setup.h"
#include "SetupPayloadData.h"
#include "SetupResources.h"
#include "WinResourceTable.h"
#include "platform/display/DisplayHost.h"

int main() {
    if (!display::AttachDisplayHost()) {
        std::fputs("setup: no display to show its welcome box on; start it where an X display answers.\n", stderr);
        return 2;
    }
    // What the resource compiler would have put into the program: its resources and the payload the build made.
    HMODULE self = GetModuleHandleA(nullptr);
    RegisterSetupResources(self);
    win32::RegisterRawResource(self, RT_RCDATA, MAKEINTRESOURCEA(1), kSetupPayload, kSetupPayloadSize);
    const int result = RunSetup(self);
    display::DetachDisplayHost();
    return result;
}
