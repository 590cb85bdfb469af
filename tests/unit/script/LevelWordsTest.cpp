#include <gtest/gtest.h>

#include "support/TestGame.h"

namespace vantor {
namespace {

// Misuse a level author makes is reported in the level's words, never in
// the rendering library's (its exception names and source positions).
TEST(LevelWordsTest, MisuseIsReportedInTheLevelsWords) {
    test::TestGame game(test::TestGame::defaultSetup(), {{"start.lua", ""}});
    game.start();
    game.run(
        "CreateSceneNode('', 'LevelRoot')\n"
        "CreateEntity('e1', '') CreateEntity('e2', 'Nope.mesh') CreateSceneNode('LevelRoot', '')\n"
        "SetPosition('', 1, 2, 3) AddResourceLocation('G', '.', 'Bogus')\n"
        "CreateEntity('gem', 'Prefab_Cube') AttachObject('LevelRoot', 'gem')\n"
        "CreateSceneNode('LevelRoot', 'Other') AttachObject('Other', 'gem')\n"
        "AddActor('Gem2') AddActorMessage('Gem2', 0, 'Spin', '', '', 0, 0, 0, 90)\n"
        "function Picked(name) end\n"
        "RegisterCollisionCallback('_AVATAR', 'Pickups', Picked)\n"
        "RegisterCollisionCallback('_AVATAR', 'Pickups', 'not a name')\n");
    for (const char* line : {
             "Error: CreateEntity: empty mesh name",
             "Error: CreateEntity: no mesh named Nope.mesh",
             "Error: CreateSceneNode: empty scene node name",
             "Error: SetPosition: no scene node named ",
             "Error: AddResourceLocation: unknown location type 'Bogus' (FileSystem or Zip)",
             "Error: AttachObject: entity gem is attached to LevelRoot already",
             "Error: AddActorMessage(Gem2): type 'Spin' is not a message type",
             "Error: RegisterCollisionCallback: the function must be given by its name, as a "
             "text, not a function",
             "Error: RegisterCollisionCallback: the function must be given by its name, as a "
             "text, not 'not a name'",
         }) {
        EXPECT_EQ(game.logLinesWith(line).size(), 1u) << line;
    }
    EXPECT_TRUE(game.logLinesWith("Exception").empty());
    EXPECT_TRUE(game.logLinesWith("OgreMain").empty());
    // Nothing was queued or registered that could fail later, tick after tick.
    for (int i = 0; i < 5; ++i) {
        game.clock().advance(20);
        game.app().frame();
    }
    EXPECT_TRUE(game.logLinesWith("Scripting error").empty());
    EXPECT_TRUE(game.logLinesWith("Trying to attach").empty());
}

}  // namespace
}  // namespace vantor
