#include "script/bindings/wrap_overlay.h"

#include <string>

#include "overlay/OverlayMgr.h"
#include "script/bindings/BindingSupport.h"
#include "script/bindings/ScriptFunction.h"

namespace vantor::script {

int w_CreatePanel(lua_State* L) {
    return guarded(
        L, "CreatePanel",
        [&] {
            const std::string name =
                overlays().createPanel(argText(L, 1), argInt(L, 2), argInt(L, 3));
            lua_pushlstring(L, name.data(), name.size());
            return 1;
        },
        [&] {
            lua_pushstring(L, "");
            return 1;
        });
}

int w_DestroyPanel(lua_State* L) {
    return guarded(L, "DestroyPanel", [&] { overlays().destroyPanel(argText(L, 1)); });
}

int w_AddElement(lua_State* L) {
    return guarded(L, "AddElement", [&] { overlays().addElement(argText(L, 1)); });
}

int w_RemoveElement(lua_State* L) {
    return guarded(L, "RemoveElement", [&] { overlays().removeElement(argText(L, 1)); });
}

int w_SetElementCaption(lua_State* L) {
    return guarded(L, "SetElementCaption",
                   [&] { overlays().setElementCaption(argText(L, 1), argText(L, 2)); });
}

int w_SetElementMaterial(lua_State* L) {
    return guarded(L, "SetElementMaterial",
                   [&] { overlays().setElementMaterial(argText(L, 1), argText(L, 2)); });
}

}  // namespace vantor::script
