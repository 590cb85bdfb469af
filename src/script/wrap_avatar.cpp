#include "script/wrap_avatar.h"

#include "app/GameApp.h"
#include "camera/CameraController.h"
#include "script/ScriptFunction.h"
#include "world/Simulation.h"

namespace vantor {

using script::argFloat;
using script::argInt;

namespace {
Simulation* simulation() {
    GameApp* app = getApp();
    return app ? app->getSimulation() : nullptr;
}
}  // namespace

int w_SetCameraDampening(lua_State* L) {
    return script::guarded(L, "SetCameraDampening", [&] {
        GameApp* app = getApp();
        if (CameraController* camera = app ? app->getCamera() : nullptr) {
            camera->setDampening(argFloat(L, 1));
        }
    });
}

int w_SetAvatarState(lua_State* L) {
    return script::guarded(L, "SetAvatarState", [&] {
        if (Simulation* sim = simulation()) {
            sim->setAvatarState(argInt(L, 1));
        }
    });
}

int w_ResetBody(lua_State* L) {
    return script::guarded(L, "ResetBody", [&] {
        if (Simulation* sim = simulation()) {
            sim->resetAvatar();
        }
    });
}

int w_SetAmbientForce(lua_State* L) {
    return script::guarded(L, "SetAmbientForce", [&] {
        if (Simulation* sim = simulation()) {
            // Read unclamped: the avatar itself refuses a force that is not
            // finite and keeps the previous one.
            sim->setAmbientForce(Ogre::Vector3(static_cast<float>(script::argNumber(L, 1)),
                                               static_cast<float>(script::argNumber(L, 2)),
                                               static_cast<float>(script::argNumber(L, 3))));
        }
    });
}

}  // namespace vantor
