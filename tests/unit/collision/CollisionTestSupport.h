#pragma once

#include <OgreLog.h>
#include <OgreLogManager.h>

#include <string>
#include <vector>

namespace vantor::test {

// Collects the lines written to OGRE's default log (where the engine log goes
// when no application exists) while it lives.
class LogCapture : public Ogre::LogListener {
public:
    LogCapture() { Ogre::LogManager::getSingleton().getDefaultLog()->addListener(this); }
    ~LogCapture() override {
        Ogre::LogManager::getSingleton().getDefaultLog()->removeListener(this);
    }

    void messageLogged(const Ogre::String& message, Ogre::LogMessageLevel, bool,
                       const Ogre::String&, bool&) override {
        lines.push_back(message);
    }

    bool contains(const std::string& text) const {
        for (const std::string& line : lines) {
            if (line.find(text) != std::string::npos) {
                return true;
            }
        }
        return false;
    }

    std::vector<std::string> lines;
};

}  // namespace vantor::test
