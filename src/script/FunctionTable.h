#pragma once

#include <lua.h>

#include <vector>

namespace vantor {

struct ScriptFunctionEntry {
    const char* name;
    lua_CFunction function;
};

// Every engine script function in installation order.
const std::vector<ScriptFunctionEntry>& scriptFunctionTable();

// Installs the table as globals of the given state, in order, without upvalues.
void installScriptFunctions(lua_State* L);

}  // namespace vantor
