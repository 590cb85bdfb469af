#include "app/EngineLog.h"

#include <OgreLogManager.h>

#include <ctime>
#include <iostream>

namespace vantor {

EngineLog::EngineLog(const std::string& fileName, bool fresh, bool echo) : echo_(echo) {
    Ogre::LogManager* manager = Ogre::LogManager::getSingletonPtr();
    if (!manager) {
        // Created before the rendering root so the root adopts it instead of
        // opening its own log (which would also echo coloured text to stdout).
        ownManager_ = std::make_unique<Ogre::LogManager>();
        manager = ownManager_.get();
    } else {
        previousDefault_ = manager->getDefaultLog();
    }
    file_.open(fileName, fresh ? std::ios::out | std::ios::trunc : std::ios::out | std::ios::app);
    log_ = manager->createLog(fileName, true, false, true);
    log_->addListener(this);
}

EngineLog::~EngineLog() {
    log_->removeListener(this);
    if (ownManager_) {
        ownManager_.reset();
        return;
    }
    Ogre::LogManager* manager = Ogre::LogManager::getSingletonPtr();
    manager->destroyLog(log_);
    if (previousDefault_) {
        manager->setDefaultLog(previousDefault_);
    }
}

void EngineLog::messageLogged(const Ogre::String& message, Ogre::LogMessageLevel, bool,
                              const Ogre::String&, bool&) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[16];
    std::strftime(stamp, sizeof stamp, "%H:%M:%S: ", &local);
    file_ << stamp << message << '\n';
    file_.flush();  // a crash must not take the last lines with it
    if (echo_) {
        std::cout << message << '\n';
    }
}

}  // namespace vantor
