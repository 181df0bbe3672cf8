// The display host: shows the window system's top-level windows on an X display through GTK 3 and turns the
// person's mouse and keyboard into the input the windows take. It is one driver behind the window system's
// display-driver interface (WinDisplayDriver.h) and changes no model. Only the programs' entry points and the
// host's tests use it.
#pragma once

namespace display {

// Opens the X display that DISPLAY names and attaches the host, on a thread of its own: from now on every
// top-level window is shown there. False when no display answers or the build has no host; nothing changes
// then. Attaching twice is attaching once.
bool AttachDisplayHost();
// Takes the host away: its windows go and the null driver is back. Nothing when none is attached.
void DetachDisplayHost();

} // namespace display
