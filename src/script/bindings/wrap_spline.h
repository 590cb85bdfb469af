#pragma once

// Script functions for the simulation's named splines.

#include <lua.h>

namespace vantor::script {

// CreateSpline(name)
int w_CreateSpline(lua_State* L);
// AddSplinePoint(name, x, y, z)
int w_AddSplinePoint(lua_State* L);
// InterpolateSpline(name, t) -> x, y, z
int w_InterpolateSpline(lua_State* L);

}  // namespace vantor::script
