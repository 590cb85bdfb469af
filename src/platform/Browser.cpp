#include "platform/Browser.h"

#include <errno.h>
#include <signal.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vantor::platform {

namespace {

constexpr char kHandler[] = "xdg-open";
// Exit status of the intermediate process when the handler could not be spawned.
constexpr int kSpawnFailed = 127;

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

// The handler may run for as long as the browser does (some desktops' xdg-open
// waits for it), and the engine must neither wait for it nor leave a zombie.
// So the handler is started from a short-lived intermediate process that exits
// right after the spawn; the handler is then adopted (and reaped) by init, and
// the only wait here is for the intermediate process. Everything the
// intermediate process needs is prepared before fork, so between fork and
// _exit it only makes system calls (no allocation, no locks, no stdio).
bool openWithDesktop(const std::string& target) {
    // An argument ends at a NUL byte; a cut-off target is not what was asked for.
    if (target.find('\0') != std::string::npos) {
        return false;
    }
    std::string handler(kHandler);
    std::string argument(target);
    char* argv[] = {handler.data(), argument.data(), nullptr};
    SpawnAttributes attributes;

    const pid_t intermediate = ::fork();
    if (intermediate < 0) {
        return false;
    }
    if (intermediate == 0) {
        pid_t handlerPid = 0;
        const int rc =
            posix_spawnp(&handlerPid, kHandler, nullptr, attributes.get(), argv, environ);
        ::_exit(rc == 0 ? 0 : kSpawnFailed);
    }

    int status = 0;
    while (::waitpid(intermediate, &status, 0) < 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace vantor::platform
