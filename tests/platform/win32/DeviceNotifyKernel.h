// Kernel-side steps of the device-notification tests, apart from the user-mode headers.
#pragma once

#include <string>

namespace devnotify_test {

// {7B8C1E29-3D4A-4F60-9A1B-2C3D4E5F6071}: the class the test device's interface belongs to.
extern const unsigned char kInterfaceClass[16];

// A root-enumerated device without a driver, with one interface of kInterfaceClass (not enabled yet).
void PlugDevice();
void SetInterface(bool enabled);
void UnplugDevice();
// The interface's name as user mode sees it ("\\?\...").
std::string InterfaceName();

} // namespace devnotify_test
