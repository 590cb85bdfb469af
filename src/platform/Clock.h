#pragma once

#include <cstdint>

namespace vantor::platform {

// A millisecond clock, unsigned 32-bit and wrapping like a multimedia timer.
// The application reads time only through this interface so that tests can
// drive it by hand.
class Clock {
public:
    virtual ~Clock() = default;
    virtual uint32_t nowMs() = 0;
};

// Monotonic system time in milliseconds since an arbitrary start.
class SystemClock final : public Clock {
public:
    uint32_t nowMs() override;
};

// A clock that moves only when told to.
class ManualClock final : public Clock {
public:
    explicit ManualClock(uint32_t start = 0) : now_(start) {}
    uint32_t nowMs() override { return now_; }
    void set(uint32_t ms) { now_ = ms; }
    void advance(uint32_t ms) { now_ += ms; }

private:
    uint32_t now_;
};

// Sleeps the calling thread; negative durations sleep 0.
void sleepMs(int ms);

}  // namespace vantor::platform
