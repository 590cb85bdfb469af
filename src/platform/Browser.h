#pragma once

#include <string>

namespace vantor::platform {

// Hands `target` (a web address, or any file or document name) to the
// desktop's default handler by running `xdg-open target`: one argument,
// never seen by a shell. Returns as soon as the handler has been started and
// does not wait for it; the handler is reaped when it ends. False when
// xdg-open could not be started.
bool openWithDesktop(const std::string& target);

}  // namespace vantor::platform
