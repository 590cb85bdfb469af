#include "states/EngineKeys.h"

#include "app/GameApp.h"
#include "core/Log.h"
#include "world/Simulation.h"

namespace vantor::states {

namespace {

const char* const kErrorListHidden = "Error list hidden";
const char* const kErrorListShown = "Error list shown";

bool isEngineKey(OIS::KeyCode key) {
    switch (key) {
        case OIS::KC_F2:
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
        case OIS::KC_F2:
            if (Simulation* simulation = app->getSimulation();
                simulation && simulation->getOverlayMgr()) {
                app->getErrorPanel().toggle(*simulation->getOverlayMgr());
                log(app->getErrorPanel().isHidden() ? kErrorListHidden : kErrorListShown);
            }
            return true;
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
