#pragma once

#include <string>

namespace vantor {

// Writes one line to the engine log. While an application exists this is
// GameApp::log (with its simulation-time prefix); without one (unit tests,
// tools) the line goes to OGRE's default log if there is one, else to stderr.
void log(const std::string& message);

}  // namespace vantor
