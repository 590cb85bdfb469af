#include "states/EngineKeys.h"

#include "app/GameApp.h"

namespace vantor::states {

namespace {

bool isEngineKey(OIS::KeyCode key) {
    switch (key) {
        case OIS::KC_F5:
            return true;
        default:
            return false;
    }
}

}  // namespace

bool engineKeyPressed(const OIS::KeyEvent& event) {
    GameApp* app = getApp();
    if (!app) {
        return false;
    }
    switch (event.key) {
        case OIS::KC_F5:
            app->requestReload("F5");
            return true;
        default:
            return false;
    }
}

bool engineKeyReleased(const OIS::KeyEvent& event) {
    return getApp() && isEngineKey(event.key);
}

bool heldKeysReachGame() {
    return true;
}

}  // namespace vantor::states
