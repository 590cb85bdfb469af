// Level requests from scripts: coreLoadLevel only records a name, and the
// frame loads the last one recorded in it.

#include <gtest/gtest.h>

#include "app/GameApp.h"
#include "support/TestGame.h"

namespace vantor {
namespace {

TEST(LevelRequest, TheLastRequestOfAFrameWinsTheEmptyOneIncluded) {
    const char* level = "CreateSceneNode('', 'LevelRoot')\n";
    test::TestGame game(test::TestGame::defaultSetup(), {{"start.lua", level}, {"b.lua", level}});
    GameApp& app = game.start();

    game.run("coreLoadLevel('b.lua') coreLoadLevel('')");
    app.frame();
    EXPECT_EQ(app.getCurrentLevel(), "start.lua");
    EXPECT_TRUE(game.logLinesWith("LoadLevel(b.lua)").empty());

    game.run("coreLoadLevel('') coreLoadLevel('b.lua')");
    app.frame();
    EXPECT_EQ(app.getCurrentLevel(), "b.lua");
}

}  // namespace
}  // namespace vantor
