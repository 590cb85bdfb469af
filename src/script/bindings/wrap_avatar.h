#pragma once

#include <lua.h>

namespace vantor::script {

// SetCameraDampening(d): the follow camera's spring dampening (larger lags
// more); 0 or below makes the camera sit on its follow point.
int w_SetCameraDampening(lua_State* L);
// SetAvatarState(n): 0 Ground, 1 Air, 2 Frozen, 3 Locked (truncated).
int w_SetAvatarState(lua_State* L);
// ResetBody(): the avatar back at its reset position, at rest, in the air.
int w_ResetBody(lua_State* L);
// SetAmbientForce(x, y, z): constant force on the avatar's body each step.
int w_SetAmbientForce(lua_State* L);

}  // namespace vantor::script
