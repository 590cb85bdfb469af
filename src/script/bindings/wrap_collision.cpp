#include "script/bindings/wrap_collision.h"

#include <OgreNode.h>

#include <stdexcept>

#include "collision/CollisionMgr.h"
#include "script/bindings/BindingSupport.h"
#include "script/bindings/ScriptFunction.h"
#include "world/Simulation.h"

namespace vantor::script {

namespace {

int pushName(lua_State* L, const std::string& name) {
    lua_pushlstring(L, name.data(), name.size());
    return 1;
}

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

int w_CreateCollisionSpace(lua_State* L) {
    return guarded(L, "CreateCollisionSpace",
                   [&] { collisionMgr().createSpace(argText(L, 1), argText(L, 2)); });
}

int w_RayTest(lua_State* L) {
    auto pushResult = [L](const Ogre::Vector3& point, const std::string& name) {
        return pushVector(L, point) + pushName(L, name);
    };
    return guarded(
        L, "RayTest",
        [&] {
            CollisionResult record;
            collisionMgr().rayTest(argTextView(L, 1), argVector(L, 2), argVector(L, 5),
                                   argFloat(L, 8), record);
            static const std::string kNoName;
            return pushResult(record.point, record.hitNode ? record.hitNode->getName() : kNoName);
        },
        [&] { return pushResult(Ogre::Vector3::ZERO, ""); });
}

int w_CollisionTest(lua_State* L) {
    return guarded(
        L, "CollisionTest",
        [&] {
            return pushName(L, collisionMgr().collisionTest(argText(L, 1), argText(L, 2), false));
        },
        [&] { return pushName(L, ""); });
}

int w_RegisterCollisionCallback(lua_State* L) {
    return guarded(L, "RegisterCollisionCallback", [&] {
        const std::string function = argText(L, 3);
        if (lua_type(L, 3) != LUA_TSTRING || !makesACall(L, function)) {
            throw std::runtime_error("the function must be given by its name, as a text, not " +
                                     describeArg(L, 3));
        }
        simulation().registerCollisionCallback(argText(L, 1), argText(L, 2), function,
                                               argFlag(L, 4));
    });
}

}  // namespace vantor::script
