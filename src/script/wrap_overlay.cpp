#include "script/wrap_overlay.h"

#include <string>

#include "app/GameApp.h"
#include "core/Log.h"
#include "overlay/OverlayMgr.h"
#include "script/ScriptFunction.h"
#include "world/Simulation.h"

namespace vantor {

using script::argInt;
using script::argText;

namespace {

// The manager, or null after logging a line naming the script function.
OverlayMgr* overlaysFor(const char* function) {
    OverlayMgr* overlays = currentOverlayMgr();
    if (!overlays) {
        log(std::string("Error: ") + function + ": no overlay manager yet");
    }
    return overlays;
}

}  // namespace

OverlayMgr* currentOverlayMgr() {
    GameApp* app = getApp();
    Simulation* simulation = app ? app->getSimulation() : nullptr;
    return simulation ? simulation->getOverlayMgr() : nullptr;
}

int w_CreatePanel(lua_State* L) {
    return script::guarded(
        L, "CreatePanel",
        [&] {
            const std::string text = argText(L, 1);
            const int x = argInt(L, 2);
            const int y = argInt(L, 3);
            std::string name;
            if (OverlayMgr* overlays = overlaysFor("CreatePanel")) {
                name = overlays->createPanel(text, x, y);
            }
            lua_pushlstring(L, name.data(), name.size());
            return 1;
        },
        [&] {
            lua_pushstring(L, "");
            return 1;
        });
}

int w_DestroyPanel(lua_State* L) {
    return script::guarded(L, "DestroyPanel", [&] {
        const std::string name = argText(L, 1);
        if (OverlayMgr* overlays = overlaysFor("DestroyPanel")) {
            overlays->destroyPanel(name);
        }
    });
}

int w_AddElement(lua_State* L) {
    return script::guarded(L, "AddElement", [&] {
        const std::string name = argText(L, 1);
        if (OverlayMgr* overlays = overlaysFor("AddElement")) {
            overlays->addElement(name);
        }
    });
}

int w_RemoveElement(lua_State* L) {
    return script::guarded(L, "RemoveElement", [&] {
        const std::string name = argText(L, 1);
        if (OverlayMgr* overlays = overlaysFor("RemoveElement")) {
            overlays->removeElement(name);
        }
    });
}

int w_SetElementCaption(lua_State* L) {
    return script::guarded(L, "SetElementCaption", [&] {
        const std::string element = argText(L, 1);
        const std::string caption = argText(L, 2);
        if (OverlayMgr* overlays = overlaysFor("SetElementCaption")) {
            overlays->setElementCaption(element, caption);
        }
    });
}

int w_SetElementMaterial(lua_State* L) {
    return script::guarded(L, "SetElementMaterial", [&] {
        const std::string element = argText(L, 1);
        const std::string material = argText(L, 2);
        if (OverlayMgr* overlays = overlaysFor("SetElementMaterial")) {
            overlays->setElementMaterial(element, material);
        }
    });
}

}  // namespace vantor
