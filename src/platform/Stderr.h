#pragma once

namespace vantor::platform {

// Points the process's standard error at /dev/null while it lives and puts it
// back afterwards. For calls into libraries that print complaints of their
// own (the sound libraries probing for a sound card that is not there):
// what the engine has to say about the failure goes to its log instead.
// Output of other threads to standard error is lost meanwhile, so keep the
// scope to the one call.
class SilencedStderr {
public:
    SilencedStderr();
    ~SilencedStderr();
    SilencedStderr(const SilencedStderr&) = delete;
    SilencedStderr& operator=(const SilencedStderr&) = delete;

private:
    int saved_ = -1;
};

}  // namespace vantor::platform
