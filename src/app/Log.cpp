#include "app/Log.h"

#include <OgreLogManager.h>

#include <iostream>

#include "app/GameApp.h"

namespace vantor {

void log(const std::string& message) {
    if (GameApp* app = getApp()) {
        app->log(message);
        return;
    }
    if (auto* logs = Ogre::LogManager::getSingletonPtr(); logs && logs->getDefaultLog()) {
        logs->logMessage(message, Ogre::LML_NORMAL);
        return;
    }
    std::cerr << message << '\n';
}

}  // namespace vantor
