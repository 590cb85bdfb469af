#include "app/GameApp.h"
#include "script/ScriptFunction.h"
#include "script/wrap_collision.h"
#include "world/Simulation.h"

namespace vantor {

int w_RegisterCollisionCallback(lua_State* L) {
    return script::guarded(L, "RegisterCollisionCallback", [&] {
        GameApp* app = getApp();
        if (Simulation* simulation = app ? app->getSimulation() : nullptr) {
            simulation->registerCollisionCallback(script::argText(L, 1), script::argText(L, 2),
                                                  script::argText(L, 3), script::argFlag(L, 4));
        }
    });
}

}  // namespace vantor
