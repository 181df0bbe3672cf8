// Simulation control of the SetupAPI stand-in: make chosen calls fail with a chosen error, as a real system's
// SetupAPI can (a set that cannot be built, a device that went away, a registry read that fails).
#pragma once

#include <cstdint>

#include "windef.h"

namespace win32 {

enum class SetupApiCall {
    GetClassDevs,
    DestroyDeviceInfoList,
    EnumDeviceInfo,
    GetDeviceRegistryProperty,
    EnumDeviceInterfaces,
    GetDeviceInterfaceDetail,
    SetDeviceRegistryProperty,
};

constexpr DWORD kAnyProperty = 0xFFFFFFFF;

// Calls of `call` (for registry reads, of `property` unless kAnyProperty) fail with `error` after `skip`
// matching calls have gone through, for `count` calls. One call at a time fails by default, so a caller that
// retries or moves on is not held in a loop.
struct SetupApiFailure {
    SetupApiCall call = SetupApiCall::GetClassDevs;
    DWORD error = 0;
    DWORD property = kAnyProperty;
    uint64_t skip = 0;
    uint64_t count = 1;
};
void InjectSetupApiFailure(const SetupApiFailure& failure);
void ClearSetupApiFailures();
// Forgets injected failures and the properties set through SetupDiSetDeviceRegistryProperty (part of taking a
// machine's state away between tests).
void ResetSetupApi();
// Sets made and not yet destroyed, for tests that look for leaks.
size_t OpenDeviceInfoSets();

} // namespace win32
