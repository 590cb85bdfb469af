#pragma once

namespace vantor::platform {

// Routes SIGINT and SIGTERM to a quit request that the frame loop polls, so
// Ctrl+C and a polite kill end the game after the current frame with the full
// teardown. A second signal while the first is still pending ends the process
// at once (exit code 128 + the signal's number), for the few things no
// request can interrupt. Installing twice is harmless.
void installQuitSignals();

// True once a quit signal arrived (for the rest of the process) or the
// render window's close button was pressed (see windowCloseRequested).
// Cheap enough to poll from inside long waits: a running script's watchdog,
// a download's progress.
bool quitRequested();

}  // namespace vantor::platform
