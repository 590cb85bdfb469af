#include "platform/Browser.h"

#include <errno.h>
#include <signal.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

namespace vantor::platform {

namespace {

constexpr char kHandler[] = "xdg-open";

// Spawn attributes for the handler: a clean signal state (the engine's masks
// and ignored signals are not the handler's business) and a session of its
// own, so a terminal interrupt meant for the game does not close the browser.
class SpawnAttributes {
public:
    SpawnAttributes() {
        posix_spawnattr_init(&attr_);
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setsigmask(&attr_, &none);
        sigset_t all;
        sigfillset(&all);
        posix_spawnattr_setsigdefault(&attr_, &all);
        posix_spawnattr_setflags(
            &attr_, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID);
    }
    ~SpawnAttributes() { posix_spawnattr_destroy(&attr_); }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;

    const posix_spawnattr_t* get() const { return &attr_; }

private:
    posix_spawnattr_t attr_;
};

}  // namespace

// posix_spawnp starts the handler without copying the engine's threads or
// memory (glibc uses vfork semantics), so nothing of the GL or audio threads
// runs in the child. The handler may live as long as the browser does (some
// desktops' xdg-open waits for it), so a small detached thread waits for it
// and reaps it: the frame loop never waits and no zombie stays behind. A
// handler still running when the game ends is adopted by init.
bool openWithDesktop(const std::string& target) {
    // An argument ends at a NUL byte; a cut-off target is not what was asked for.
    if (target.find('\0') != std::string::npos) {
        return false;
    }
    std::string handler(kHandler);
    std::string argument(target);
    char* argv[] = {handler.data(), argument.data(), nullptr};
    SpawnAttributes attributes;
    pid_t pid = 0;
    if (posix_spawnp(&pid, kHandler, nullptr, attributes.get(), argv, environ) != 0) {
        return false;
    }
    std::thread([pid] {
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return true;
}

}  // namespace vantor::platform
