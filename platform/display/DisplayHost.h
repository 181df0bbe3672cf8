// The display host: shows the window system's top-level windows on an X display through GTK 3 and turns the
// person's mouse and keyboard into the input the windows take. It is one driver behind the window system's
// display-driver interface (WinDisplayDriver.h) and changes no model. Only the programs' entry points and the
// host's tests use it.
#pragma once

#include <cstdint>
#include <functional>

namespace display {

// Opens the X display that DISPLAY names and attaches the host, on a thread of its own: from now on every
// top-level window is shown there. False when no display answers or the build has no host; nothing changes
// then. Attaching twice is attaching once.
bool AttachDisplayHost();
// Takes the host away: its windows go and the null driver is back. Nothing when none is attached.
void DetachDisplayHost();

// What the person does over the host's windows, as the host passes it on to them: the pointer moving to a
// point of the screen or leaving the windows, a button pressed or let go at a point (1 left, 2 middle, 3
// right), the wheel turned a notch (+1 away from the person, -1 towards), a key pressed or let go (the window
// system's virtual-key code).
struct InputEvent {
    enum class Kind { PointerMoved, PointerLeft, ButtonDown, ButtonUp, Wheel, KeyDown, KeyUp };
    Kind kind = Kind::PointerMoved;
    int x = 0, y = 0; // screen coordinates
    int button = 0;
    int wheel = 0;
    uint8_t virtualKey = 0;
};
using InputObserver = std::function<void(const InputEvent&)>;

// Sets the one observer of that input (an empty one takes it away). It is called on the host's thread after the
// input went to its window, and must neither wait for a window's thread nor set the observer itself; once this
// call has returned, the observer it replaced is called no more.
void SetInputObserver(InputObserver observer);

} // namespace display
