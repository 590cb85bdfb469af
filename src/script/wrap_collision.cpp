#include "script/wrap_collision.h"

#include <OgreNode.h>

#include "app/GameApp.h"
#include "collision/CollisionMgr.h"
#include "script/ScriptFunction.h"

namespace vantor {

using script::argFloat;
using script::argText;

namespace {
CollisionMgr* collisionMgr() {
    GameApp* app = getApp();
    return app ? app->getCollisionMgr() : nullptr;
}
}  // namespace

int w_CreateCollisionSpace(lua_State* L) {
    return script::guarded(L, "CreateCollisionSpace", [&] {
        if (CollisionMgr* mgr = collisionMgr()) {
            mgr->createSpace(argText(L, 1), argText(L, 2));
        }
    });
}

int w_RayTest(lua_State* L) {
    auto pushResult = [L](const Ogre::Vector3& point, const std::string& name) {
        lua_pushnumber(L, point.x);
        lua_pushnumber(L, point.y);
        lua_pushnumber(L, point.z);
        lua_pushlstring(L, name.data(), name.size());
        return 4;
    };
    return script::guarded(
        L, "RayTest",
        [&] {
            CollisionResult record;
            if (CollisionMgr* mgr = collisionMgr()) {
                const Ogre::Vector3 origin(argFloat(L, 2), argFloat(L, 3), argFloat(L, 4));
                const Ogre::Vector3 direction(argFloat(L, 5), argFloat(L, 6), argFloat(L, 7));
                mgr->rayTest(argText(L, 1), origin, direction, argFloat(L, 8), record);
            }
            static const std::string kNoName;
            return pushResult(record.point, record.hitNode ? record.hitNode->getName() : kNoName);
        },
        [&] { return pushResult(Ogre::Vector3::ZERO, ""); });
}

int w_CollisionTest(lua_State* L) {
    auto pushName = [L](const std::string& name) {
        lua_pushlstring(L, name.data(), name.size());
        return 1;
    };
    return script::guarded(
        L, "CollisionTest",
        [&] {
            CollisionMgr* mgr = collisionMgr();
            return pushName(mgr ? mgr->collisionTest(argText(L, 1), argText(L, 2), false) : "");
        },
        [&] { return pushName(""); });
}

}  // namespace vantor
