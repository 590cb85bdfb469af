#include "script/bindings/wrap_avatar.h"

#include "camera/CameraController.h"
#include "script/bindings/BindingSupport.h"
#include "script/bindings/ScriptFunction.h"
#include "world/Simulation.h"

namespace vantor::script {

int w_SetCameraDampening(lua_State* L) {
    return guarded(L, "SetCameraDampening", [&] { camera().setDampening(argFloat(L, 1)); });
}

int w_SetAvatarState(lua_State* L) {
    return guarded(L, "SetAvatarState", [&] { simulation().setAvatarState(argInt(L, 1)); });
}

int w_ResetBody(lua_State* L) {
    return guarded(L, "ResetBody", [&] { simulation().resetAvatar(); });
}

int w_SetAmbientForce(lua_State* L) {
    return guarded(L, "SetAmbientForce", [&] {
        // Read unclamped: the avatar itself refuses a force that is not
        // finite and keeps the previous one.
        simulation().setAmbientForce(Ogre::Vector3(static_cast<float>(argNumber(L, 1)),
                                                   static_cast<float>(argNumber(L, 2)),
                                                   static_cast<float>(argNumber(L, 3))));
    });
}

}  // namespace vantor::script
