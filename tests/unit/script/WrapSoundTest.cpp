#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>

#include <gtest/gtest.h>

#include "app/GameApp.h"
#include "script/bindings/wrap_sound.h"

namespace vantor {

using namespace script;
namespace {

class WrapSoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(getApp(), nullptr);
        L = luaL_newstate();
        luaL_openlibs(L);
        lua_register(L, "PlayStream", script::w_PlayStream);
        lua_register(L, "UnloadStream", script::w_UnloadStream);
        lua_register(L, "Play2DSound", script::w_Play2DSound);
        lua_register(L, "StopAllSounds", script::w_StopAllSounds);
        lua_register(L, "SetMasterVolume", script::w_SetMasterVolume);
    }
    void TearDown() override { lua_close(L); }

    // Runs a chunk and returns its error text (empty on success).
    std::string run(const char* chunk) {
        if (luaL_dostring(L, chunk) == 0) {
            return "";
        }
        std::string error = lua_tostring(L, -1);
        lua_pop(L, 1);
        return error;
    }

    lua_State* L = nullptr;
};

TEST_F(WrapSoundTest, WithoutAnApplicationEveryFunctionIsHarmlessAndPlayGivesZero) {
    ASSERT_EQ(run("PlayStream('music.ogg')\n"
                  "UnloadStream()\n"
                  "StopAllSounds()\n"
                  "SetMasterVolume(128, 'loud')\n"
                  "n = select('#', PlayStream()) + select('#', UnloadStream()) +"
                  "    select('#', StopAllSounds()) + select('#', SetMasterVolume())\n"
                  "a, b = Play2DSound('hit.wav', 100, 1)\n"
                  "c = Play2DSound()\n"),
              "");
    lua_getglobal(L, "n");
    EXPECT_EQ(lua_tonumber(L, -1), 0);
    lua_getglobal(L, "a");
    EXPECT_EQ(lua_type(L, -1), LUA_TNUMBER);
    EXPECT_EQ(lua_tonumber(L, -1), 0);
    lua_getglobal(L, "b");
    EXPECT_TRUE(lua_isnil(L, -1));
    lua_getglobal(L, "c");
    EXPECT_EQ(lua_tonumber(L, -1), 0);
}

}  // namespace
}  // namespace vantor
