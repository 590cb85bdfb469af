#pragma once

#include <OgreLog.h>
#include <OgreLogManager.h>

#include <string>
#include <vector>

namespace vantor::test {

// Records every line written to OGRE's default log, where the engine log
// goes, while it lives. Makes a quiet log (no file) first when the process
// has none. Make it after the application or HeadlessOgre, whose log it
// listens to.
class LogCapture : public Ogre::LogListener {
public:
    LogCapture() {
        if (!Ogre::LogManager::getSingletonPtr()) {
            new Ogre::LogManager();  // lives for the test process
        }
        Ogre::LogManager& logs = Ogre::LogManager::getSingleton();
        log_ = logs.getDefaultLog() ? logs.getDefaultLog()
                                    : logs.createLog("unit.log", true, false, true);
        log_->addListener(this);
    }
    ~LogCapture() override { log_->removeListener(this); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    void messageLogged(const Ogre::String& message, Ogre::LogMessageLevel, bool,
                       const Ogre::String&, bool&) override {
        lines.push_back(message);
    }

    // Lines that contain text.
    int count(const std::string& text) const {
        int n = 0;
        for (const std::string& line : lines) {
            n += line.find(text) != std::string::npos ? 1 : 0;
        }
        return n;
    }

    std::vector<std::string> lines;

private:
    Ogre::Log* log_;
};

}  // namespace vantor::test
