// One reset for the whole kernel stand-in, so that each test starts from a clean machine (control interface,
// not part of the platform).
//
// ResetKernelState: pool totals and injected failures (live allocations stay, see NtPoolControl.h), the
// registry (empty, in memory), the object namespace (fresh), kernel handles (closed), the clock (real mode),
// the release (Windows 7, normal start), the error-log and debug sinks. Other parts of the kernel stand-in (the
// I/O manager, Plug and Play) add their own resets with AddResetHook; hooks run after the built-in resets, in
// the order they were added.
#pragma once

#include <functional>

namespace nt {

void ResetKernelState();
void AddResetHook(std::function<void()> hook);

} // namespace nt
