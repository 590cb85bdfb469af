#include "script/bindings/wrap_spline.h"

#include "script/bindings/BindingSupport.h"
#include "script/bindings/ScriptFunction.h"
#include "world/Simulation.h"

namespace vantor::script {

int w_CreateSpline(lua_State* L) {
    return guarded(L, "CreateSpline", [&] { simulation().createSpline(argText(L, 1)); });
}

int w_AddSplinePoint(lua_State* L) {
    return guarded(L, "AddSplinePoint",
                   [&] { simulation().addSplinePoint(argText(L, 1), argVector(L, 2)); });
}

int w_InterpolateSpline(lua_State* L) {
    return guarded(
        L, "InterpolateSpline",
        [&] {
            return pushVector(L, simulation().interpolateSpline(argText(L, 1), argFloat(L, 2)));
        },
        [&] { return pushVector(L, Ogre::Vector3::ZERO); });
}

}  // namespace vantor::script
