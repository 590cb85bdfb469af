#include <stdexcept>

#include "app/GameApp.h"
#include "script/ScriptFunction.h"
#include "script/wrap_collision.h"
#include "world/Simulation.h"

namespace vantor {

namespace {

// The engine calls the callback with the statement name('node') or
// name({...}): a name that does not make such a statement (a function value,
// which reads as the empty text, or a number) would fail every tick.
bool makesACall(lua_State* L, const std::string& function) {
    const std::string statement = function + "('')";
    const bool compiles = luaL_loadbuffer(L, statement.data(), statement.size(), "=callback") == 0;
    lua_pop(L, 1);
    return compiles;
}

}  // namespace

int w_RegisterCollisionCallback(lua_State* L) {
    return script::guarded(L, "RegisterCollisionCallback", [&] {
        const std::string function = script::argText(L, 3);
        if (lua_type(L, 3) != LUA_TSTRING || !makesACall(L, function)) {
            throw std::runtime_error("the function must be given by its name, as a text, not " +
                                     script::describeArg(L, 3));
        }
        GameApp* app = getApp();
        if (Simulation* simulation = app ? app->getSimulation() : nullptr) {
            simulation->registerCollisionCallback(script::argText(L, 1), script::argText(L, 2),
                                                  function, script::argFlag(L, 4));
        }
    });
}

}  // namespace vantor
