#pragma once

#include <lua.h>

namespace vantor::script {

// CreateCollisionSpace(name, parent): get-or-create a collision space; parent ""
// makes a top-level space.
int w_CreateCollisionSpace(lua_State* L);
// RayTest(space, ox, oy, oz, dx, dy, dz, length) -> x, y, z, nodeName: the
// nearest hit of the ray in the space; 0, 0, 0, "" when nothing is hit.
int w_RayTest(lua_State* L);
// CollisionTest(name1, name2) -> nodeName: the node of name2's space that
// name1 touches (the last one found), or "".
int w_CollisionTest(lua_State* L);
// RegisterCollisionCallback(name1, name2, function, list): runs function with
// the touching names on every simulation step while name1 touches name2.
int w_RegisterCollisionCallback(lua_State* L);

}  // namespace vantor::script
