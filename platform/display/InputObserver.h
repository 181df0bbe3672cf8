// Internal to the display host: the person's input handed to the observer the programs set (DisplayHost.h).
#pragma once

#include "platform/display/DisplayHost.h"

namespace display {

// Host thread: tells the observer, when one is set.
void NotifyInputObserver(const InputEvent& event);

} // namespace display
