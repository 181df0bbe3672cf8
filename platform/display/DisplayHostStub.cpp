// A build without the display host: nothing is ever attached.
#include "platform/display/DisplayHost.h"

namespace display {

bool AttachDisplayHost() {
    return false;
}

void DetachDisplayHost() {}

} // namespace display
