#include "platform/Clock.h"

#include <chrono>
#include <thread>

namespace vantor::platform {

uint32_t SystemClock::nowMs() {
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    return static_cast<uint32_t>(ms);  // wraps like the 32-bit timer it stands for
}

void sleepMs(int ms) {
    if (ms > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
}

}  // namespace vantor::platform
