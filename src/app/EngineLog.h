#pragma once

#include <OgreLog.h>

#include <fstream>
#include <memory>
#include <string>

namespace Ogre {
class LogManager;
}

namespace vantor {

// The engine's log file, Ogre.log, as OGRE's default log. OGRE's own file
// output always truncates, so the file is written here instead: started fresh
// by the first application of a process and appended to by every restart, so
// a restart never loses the log of the application before it. Lives from the
// first to the last step of an application, around the rendering root.
class EngineLog final : public Ogre::LogListener {
public:
    // echo: every line also goes to standard output.
    EngineLog(const std::string& fileName, bool fresh, bool echo = false);
    ~EngineLog() override;

    void messageLogged(const Ogre::String& message, Ogre::LogMessageLevel level, bool maskDebug,
                       const Ogre::String& logName, bool& skipThisMessage) override;

private:
    std::unique_ptr<Ogre::LogManager> ownManager_;  // null when one already existed
    Ogre::Log* log_ = nullptr;
    Ogre::Log* previousDefault_ = nullptr;
    std::ofstream file_;
    bool echo_ = false;
};

}  // namespace vantor
