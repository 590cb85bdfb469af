#include "platform/Signals.h"

#include <csignal>

#include "platform/WindowEvents.h"

namespace vantor::platform {

namespace {
// Written from the signal handler, so it must be a lock-free flag.
volatile std::sig_atomic_t quitFlag = 0;

extern "C" void onQuitSignal(int) {
    quitFlag = 1;
}
}  // namespace

void installQuitSignals() {
    struct sigaction action {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool quitRequested() {
    return quitFlag != 0 || windowCloseRequested();
}

}  // namespace vantor::platform
