#pragma once

#include <functional>
#include <string>

namespace vantor {

// Writes one line to the engine log. Every subsystem logs through this; none
// of them knows who owns the log. While an application runs, its hook (see
// setLogHook) decides how a line is written; without one (unit tests, tools,
// the process entry) the line goes straight to the log sink.
void log(const std::string& message);

// Writes each line of a multi-line text as a log line of its own, prefixed.
void logLines(const std::string& text, const std::string& prefix = "");

// The log sink: OGRE's default log when there is one, else stderr.
void writeToLogSink(const std::string& line);

// What the application does with each line it is handed: it prefixes the
// simulation time and echoes early lines to the terminal before calling
// writeToLogSink. Installed by the application for its lifetime; an empty
// hook hands lines to the sink unchanged. Main thread only.
using LogHook = std::function<void(const std::string& message)>;
void setLogHook(LogHook hook);

}  // namespace vantor
