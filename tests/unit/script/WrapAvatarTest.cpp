// The camera and avatar script functions, called from Lua in a headless
// application.

#include <gtest/gtest.h>
#include <lauxlib.h>
#include <lua.h>

#include "app/GameApp.h"
#include "camera/CameraController.h"
#include "script/ScriptVM.h"
#include "script/bindings/wrap_avatar.h"
#include "support/TestGame.h"
#include "world/Avatar.h"
#include "world/Simulation.h"

namespace vantor {

using namespace script;
namespace {

class WrapAvatarTest : public ::testing::Test {
protected:
    WrapAvatarTest() : game(test::TestGame::defaultSetup(), {{"start.lua", "-- empty\n"}}) {
        app = &game.start();
        lua_State* L = app->getScriptVM("lua")->state();
        lua_register(L, "SetCameraDampening", w_SetCameraDampening);
        lua_register(L, "SetAvatarState", w_SetAvatarState);
        lua_register(L, "ResetBody", w_ResetBody);
        lua_register(L, "SetAmbientForce", w_SetAmbientForce);
    }

    test::TestGame game;
    GameApp* app = nullptr;
};

TEST_F(WrapAvatarTest, SetCameraDampeningReachesTheController) {
    game.run("SetCameraDampening(2.5)");
    EXPECT_FLOAT_EQ(app->getCamera()->getDampening(), 2.5f);
    game.run("SetCameraDampening('soft')");  // not a number: 0, a camera that snaps
    EXPECT_EQ(app->getCamera()->getDampening(), 0.0f);
}

TEST_F(WrapAvatarTest, AvatarFunctionsReachTheApplicationsAvatar) {
    Simulation* sim = app->getSimulation();
    if (!sim) {
        GTEST_SKIP() << "the application does not create its Simulation yet";
    }
    Avatar* avatar = sim->getAvatar();
    game.run("SetAvatarState(2.7)");
    EXPECT_EQ(avatar->getState(), Frozen);
    game.run("SetAvatarState(0) SetAmbientForce(1, 2, 3)");
    EXPECT_EQ(avatar->getAmbientForce(), Ogre::Vector3(1, 2, 3));
    game.run("SetAmbientForce(0/0, 0, 0)");  // NaN is refused
    EXPECT_EQ(avatar->getAmbientForce(), Ogre::Vector3(1, 2, 3));
    game.run("ResetBody()");
    EXPECT_EQ(avatar->getState(), Air);
    EXPECT_EQ(avatar->getAmbientForce(), Ogre::Vector3::ZERO);
}

TEST(WrapAvatarNoApp, FunctionsWithoutAnApplicationDoNothing) {
    lua_State* L = luaL_newstate();
    lua_register(L, "SetAvatarState", w_SetAvatarState);
    lua_register(L, "ResetBody", w_ResetBody);
    lua_register(L, "SetCameraDampening", w_SetCameraDampening);
    EXPECT_EQ(luaL_dostring(L, "SetAvatarState(1) ResetBody() SetCameraDampening(1)"), 0);
    lua_close(L);
}

}  // namespace
}  // namespace vantor
