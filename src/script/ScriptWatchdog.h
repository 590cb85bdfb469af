#pragma once

#include <chrono>
#include <string>

namespace vantor {

// Bounds how long one engine call into the scripts may run, and stops a
// running script when the game is asked to quit. One watchdog serves all
// script states of an application, so code that a script runs in another
// state (ExecuteCmd) spends the budget of the call that started it.
//
// The script states ask interruption() from a Lua count hook every few
// hundred instructions and raise its message as a Lua error.
class ScriptWatchdog {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr double kDefaultLimitSeconds = 5.0;

    ScriptWatchdog();

    // Seconds one call may run; 0, a negative number or NaN means no limit.
    void setLimit(double seconds);
    double getLimit() const { return limitSeconds_; }

    // Marks one engine call into a script (a callback, a timed message, a
    // level file, a table lookup) for as long as it lives. The outermost one
    // starts the clock; nested ones share its deadline.
    class Call {
    public:
        explicit Call(ScriptWatchdog* watchdog);
        ~Call();
        Call(const Call&) = delete;
        Call& operator=(const Call&) = delete;

    private:
        ScriptWatchdog* watchdog_;
    };

    // Time spent while one lives is not counted against the limit: engine
    // functions that wait by design (a download, loading meshes and textures)
    // hold one.
    class Pause {
    public:
        explicit Pause(ScriptWatchdog* watchdog);
        ~Pause();
        Pause(const Pause&) = delete;
        Pause& operator=(const Pause&) = delete;

    private:
        ScriptWatchdog* watchdog_;
        Clock::time_point start_;
    };

    // Lets the error reporter (_ALERT, which a level may replace with a Lua
    // function) run after the limit struck, with a fresh budget of its own;
    // the interrupted call stays interrupted afterwards.
    class Reporting {
    public:
        explicit Reporting(ScriptWatchdog* watchdog);
        ~Reporting();
        Reporting(const Reporting&) = delete;
        Reporting& operator=(const Reporting&) = delete;

    private:
        ScriptWatchdog* watchdog_;
        bool wasExpired_ = false;
        Clock::time_point deadline_;
    };

    // The reason the running script must stop (the game is quitting, or the
    // call ran past its limit), or null to go on. Once a call has run past
    // its limit, the answer stays the same until the outermost call ends.
    const std::string* interruption();

private:
    double limitSeconds_ = 0.0;
    Clock::duration limit_{};
    std::string limitMessage_;
    int depth_ = 0;
    bool expired_ = false;
    Clock::time_point deadline_;
};

}  // namespace vantor
