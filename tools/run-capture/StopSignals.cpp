#include "tools/run-capture/StopSignals.h"

#include <pthread.h>
#include <signal.h>

#include <cstdlib>
#include <thread>

namespace tdl::session {

namespace {

std::atomic<bool> g_stopRequested{false};
std::atomic<int> g_stopSignal{0};

} // namespace

void WatchStopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::thread([signals] {
        for (int count = 0;; ++count) {
            int number = 0;
            if (sigwait(&signals, &number) != 0)
                continue;
            // The user who asks again does not want to wait for the clean end.
            if (count > 0)
                std::_Exit(128 + number);
            g_stopSignal = number;
            g_stopRequested = true;
        }
    }).detach();
}

const std::atomic<bool>& StopRequested() {
    return g_stopRequested;
}

int StopSignal() {
    return g_stopSignal;
}

} // namespace tdl::session
