#include "script/ScriptWatchdog.h"

#include <cmath>
#include <sstream>

#include "platform/Signals.h"

namespace vantor {

namespace {
const std::string kQuitting = "script stopped: the game is quitting";
}  // namespace

ScriptWatchdog::ScriptWatchdog() {
    setLimit(kDefaultLimitSeconds);
}

void ScriptWatchdog::setLimit(double seconds) {
    limitSeconds_ = seconds > 0.0 && std::isfinite(seconds) ? seconds : 0.0;
    limit_ =
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(limitSeconds_));
    std::ostringstream message;
    message << "script ran longer than " << limitSeconds_ << " s";
    limitMessage_ = message.str();
}

const std::string* ScriptWatchdog::interruption() {
    if (platform::quitRequested()) {
        return &kQuitting;
    }
    if (depth_ == 0 || limitSeconds_ <= 0.0) {
        return nullptr;
    }
    if (!expired_ && Clock::now() >= deadline_) {
        expired_ = true;
    }
    return expired_ ? &limitMessage_ : nullptr;
}

ScriptWatchdog::Call::Call(ScriptWatchdog* watchdog) : watchdog_(watchdog) {
    if (watchdog_ && watchdog_->depth_++ == 0) {
        watchdog_->expired_ = false;
        watchdog_->deadline_ = Clock::now() + watchdog_->limit_;
    }
}

ScriptWatchdog::Call::~Call() {
    if (watchdog_) {
        --watchdog_->depth_;
    }
}

ScriptWatchdog::Pause::Pause(ScriptWatchdog* watchdog)
    : watchdog_(watchdog), start_(Clock::now()) {}

ScriptWatchdog::Pause::~Pause() {
    if (watchdog_ && watchdog_->depth_ > 0) {
        watchdog_->deadline_ += Clock::now() - start_;
    }
}

ScriptWatchdog::Reporting::Reporting(ScriptWatchdog* watchdog) : watchdog_(watchdog) {
    if (watchdog_ && watchdog_->expired_) {
        wasExpired_ = true;
        deadline_ = watchdog_->deadline_;
        watchdog_->expired_ = false;
        watchdog_->deadline_ = Clock::now() + watchdog_->limit_;
    }
}

ScriptWatchdog::Reporting::~Reporting() {
    if (wasExpired_) {
        watchdog_->expired_ = true;
        watchdog_->deadline_ = deadline_;
    }
}

}  // namespace vantor
