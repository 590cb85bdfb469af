#include <gtest/gtest.h>
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>

#include <string>

#include "script/bindings/wrap_overlay.h"

namespace vantor {

using namespace script;
namespace {

// Before the simulation exists (the setup script runs first) the overlay
// functions must neither raise a Lua error nor return anything but defaults.
TEST(WrapOverlay, WithoutASimulationFunctionsReturnDefaults) {
    lua_State* L = luaL_newstate();
    luaL_openlibs(L);
    lua_register(L, "CreatePanel", w_CreatePanel);
    lua_register(L, "DestroyPanel", w_DestroyPanel);
    lua_register(L, "AddElement", w_AddElement);
    lua_register(L, "RemoveElement", w_RemoveElement);
    lua_register(L, "SetElementCaption", w_SetElementCaption);
    lua_register(L, "SetElementMaterial", w_SetElementMaterial);

    const char* script =
        "name = CreatePanel('text\\nmore', 10, 20)\n"
        "local function n(...) return select('#', ...) end\n"
        "count = n(DestroyPanel(name)) + n(AddElement('OVEx')) + n(RemoveElement('x'))\n"
        "    + n(SetElementCaption('x', 'y')) + n(SetElementMaterial('x', 'm'))\n"
        "blank = CreatePanel()\n";
    ASSERT_EQ(0, luaL_dostring(L, script)) << lua_tostring(L, -1);
    lua_getglobal(L, "name");
    EXPECT_EQ(LUA_TSTRING, lua_type(L, -1));
    EXPECT_EQ(std::string(), lua_tostring(L, -1));
    lua_getglobal(L, "count");
    EXPECT_EQ(0, lua_tonumber(L, -1));
    lua_getglobal(L, "blank");
    EXPECT_EQ(LUA_TSTRING, lua_type(L, -1));
    lua_close(L);
}

}  // namespace
}  // namespace vantor
