// The set-up program's entry point.
#include "PayloadResource.h"
#include "Setup.h"
#include "SetupPayloadData.h"

int main() {
    // The payload resource of the program's own module.
    DeclarePayloadResource(GetModuleHandleA(nullptr), kSetupPayload, static_cast<DWORD>(kSetupPayloadSize));
    return RunSetup(GetModuleHandleA(nullptr));
}
