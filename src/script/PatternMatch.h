#pragma once

#include <lua.h>

namespace vantor {

// Replaces string.find, string.match, string.gmatch (and its old name
// string.gfind) and string.gsub of a freshly opened state with a copy of Lua
// 5.1's pattern matcher whose recursion is bounded: a pattern that would
// nest deeper than 200 calls fails with the Lua error "pattern too complex"
// instead of overflowing the C stack, and a long backtracking search asks
// the script watchdog, so it stops when the script's time is up.
void installPatternFunctions(lua_State* L);

}  // namespace vantor
