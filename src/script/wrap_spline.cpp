#include "script/wrap_spline.h"

#include <OgreVector.h>

#include "app/GameApp.h"
#include "script/ScriptFunction.h"
#include "world/Simulation.h"

namespace vantor::script {

namespace {

Simulation* simulation() {
    GameApp* app = getApp();
    return app ? app->getSimulation() : nullptr;
}

int pushVector(lua_State* L, const Ogre::Vector3& v) {
    lua_pushnumber(L, v.x);
    lua_pushnumber(L, v.y);
    lua_pushnumber(L, v.z);
    return 3;
}

}  // namespace

int w_CreateSpline(lua_State* L) {
    return guarded(L, "CreateSpline", [&] {
        if (Simulation* sim = simulation()) {
            sim->createSpline(argText(L, 1));
        }
    });
}

int w_AddSplinePoint(lua_State* L) {
    return guarded(L, "AddSplinePoint", [&] {
        if (Simulation* sim = simulation()) {
            sim->addSplinePoint(argText(L, 1),
                                Ogre::Vector3(argFloat(L, 2), argFloat(L, 3), argFloat(L, 4)));
        }
    });
}

int w_InterpolateSpline(lua_State* L) {
    return guarded(
        L, "InterpolateSpline",
        [&] {
            Simulation* sim = simulation();
            const Ogre::Vector3 point =
                sim ? sim->interpolateSpline(argText(L, 1), argFloat(L, 2)) : Ogre::Vector3::ZERO;
            return pushVector(L, point);
        },
        [&] { return pushVector(L, Ogre::Vector3::ZERO); });
}

}  // namespace vantor::script
