#include "platform/Signals.h"

#include <unistd.h>

#include <csignal>

#include "platform/WindowEvents.h"

namespace vantor::platform {

namespace {
// Written from the signal handler, so it must be a lock-free flag.
volatile std::sig_atomic_t quitFlag = 0;

// Said by the handler itself, so a plain write of a constant text.
const char kForcedQuit[] =
    "vantor: a second quit signal: ending at once (the first did not stop the game)\n";

extern "C" void onQuitSignal(int number) {
    if (quitFlag != 0) {
        // The first request did not end the game: something nothing can
        // interrupt is running (Lua runs finalisers with its hooks off, so
        // an endless one defies the script time limit and the quit request).
        // Only async-signal-safe calls here.
        ssize_t ignored = write(STDERR_FILENO, kForcedQuit, sizeof kForcedQuit - 1);
        (void)ignored;
        _exit(128 + number);
    }
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
