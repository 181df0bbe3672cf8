// Ctrl+C (SIGINT) and SIGTERM as a request to stop: blocked in every thread the process makes once the watch has
// begun and taken by a thread of the watch's own, which raises a flag. The run looks at it between its steps and
// the machine's workloads between theirs, so the run then ends as it would have ended: the capture stopped, the
// application and the machine taken down. A second signal ends the process at once.
#pragma once

#include <atomic>

namespace tdl::session {

// Begins the watch; before any other thread is made, so that every thread leaves the signals to it.
void WatchStopSignals();
// Raised by the first SIGINT or SIGTERM.
const std::atomic<bool>& StopRequested();
// The signal that asked to stop; 0 while none has.
int StopSignal();

} // namespace tdl::session
