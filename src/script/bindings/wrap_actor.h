#pragma once

// Script functions for actors, their timed messages and scene nodes by name.

#include <lua.h>

namespace vantor::script {

// AddActor(name)
int w_AddActor(lua_State* L);
// AddActorMessage(name, time, type, word1, word2, x, y, z, number)
int w_AddActorMessage(lua_State* L);
// RemoveActor(name)
int w_RemoveActor(lua_State* L);
// SetPosition(node, x, y, z): position relative to the parent.
int w_SetPosition(lua_State* L);
// GetPosition(node or "camera", relative) -> x, y, z
int w_GetPosition(lua_State* L);
// SetRotation(node, x, y, z, degrees): absolute orientation about a local axis.
int w_SetRotation(lua_State* L);
// GetParent(node) -> parent node name
int w_GetParent(lua_State* L);

}  // namespace vantor::script
