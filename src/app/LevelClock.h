#pragma once

#include <cstdint>

#include "platform/Clock.h"

namespace vantor {

// The application clock: milliseconds since the current level started, read
// from a source clock (the system's, or a test's hand-driven one) and
// wrapping with it. The world and the camera read it as a plain
// platform::Clock; only the application restarts and moves it.
class LevelClock final : public platform::Clock {
public:
    // source (not owned) outlives this clock; the level starts now.
    explicit LevelClock(platform::Clock& source) : source_(source), start_(source.nowMs()) {}

    uint32_t nowMs() override { return source_.nowMs() - start_; }
    // A level starts: the clock reads 0 again.
    void restart() { start_ = source_.nowMs(); }
    // Moves the clock forward by ms, backward when negative. Going back past
    // the level's start would wrap the clock to about 49 days ahead, so it
    // stops at the start instead.
    void fastForward(int32_t ms) {
        if (ms < 0 && static_cast<uint32_t>(-static_cast<int64_t>(ms)) > nowMs()) {
            restart();
            return;
        }
        start_ -= static_cast<uint32_t>(ms);
    }

private:
    platform::Clock& source_;
    uint32_t start_;
};

}  // namespace vantor
