#include "core/Log.h"

#include <OgreLogManager.h>

#include <algorithm>
#include <iostream>
#include <utility>

namespace vantor {

namespace {
// The one hook of the process, set and cleared by the application that owns
// the log; see setLogHook.
LogHook& hook() {
    static LogHook installed;
    return installed;
}
}  // namespace

void writeToLogSink(const std::string& line) {
    if (auto* logs = Ogre::LogManager::getSingletonPtr(); logs && logs->getDefaultLog()) {
        logs->logMessage(line, Ogre::LML_NORMAL);
        return;
    }
    std::cerr << line << '\n';
}

void setLogHook(LogHook next) {
    hook() = std::move(next);
}

void log(const std::string& message) {
    if (const LogHook& current = hook()) {
        current(message);
        return;
    }
    writeToLogSink(message);
}

void logLines(const std::string& text, const std::string& prefix) {
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = std::min(text.find('\n', start), text.size());
        log(prefix + text.substr(start, end - start));
        start = end + 1;
    }
}

}  // namespace vantor
