#include "platform/Clock.h"

#include "platform/Signals.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace vantor::platform {

uint32_t SystemClock::nowMs() {
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    return static_cast<uint32_t>(ms);  // wraps like the 32-bit timer it stands for
}

void sleepMs(int ms) {
    // Long sleeps are taken in slices so that a quit signal ends them within
    // a slice instead of after a sleeptime of minutes.
    constexpr int kSliceMs = 50;
    using Steady = std::chrono::steady_clock;
    const Steady::time_point end = Steady::now() + std::chrono::milliseconds(ms);
    while (ms > 0 && !quitRequested()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(ms, kSliceMs)));
        ms = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(end - Steady::now()).count());
    }
}

}  // namespace vantor::platform
