// The play and edit states on the application's state stack, driven by a
// fake keyboard and hand-made OIS events: turning, move requests, the
// transitions between the states and the script callbacks of key presses.

#include <OgreCamera.h>
#include <OgreSceneManager.h>
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>

#include "app/GameApp.h"
#include "camera/CameraController.h"
#include "states/EditState.h"
#include "states/PlayState.h"
#include "states/StateScript.h"
#include "support/TestGame.h"
#include "world/Avatar.h"
#include "world/DesignerTools.h"
#include "world/Simulation.h"

namespace vantor {
namespace {

using V = Ogre::Vector3;

class GameStatesTest : public ::testing::Test {
protected:
    GameStatesTest()
        : game(test::TestGame::defaultSetup(), {{"start.lua",
                                                 "CreateSceneNode('', 'LevelRoot')\n"
                                                 "CreateSceneNode('LevelRoot', '_FollowCamera1')\n"
                                                 "CreateSceneNode('LevelRoot', '_AVATAR')\n"}}) {
        app = &game.start();
        sim = app->getSimulation();
        avatar = sim->getAvatar();
        avatar->setState(Ground);  // turns count in full
        auto keys = [this](int key) { return held.count(key) > 0; };
        edit = std::make_unique<EditState>(keys, sim);
        play = std::make_unique<PlayState>(edit.get(), keys, sim);
        // Replace whatever the application pushed with the states under test.
        while (app->getCurrentState()) {
            app->popState();
        }
        app->pushState(play.get());
        game.run(
            "ev = ''\n"
            "function KeyPressed(c, t) ev = ev .. 'KeyPressed(' .. c .. ',' .. type(t) .. ':' "
            ".. t .. ');' end\n"
            "function KeyReleased(c, t) ev = ev .. 'KeyReleased(' .. c .. ',' .. t .. ');' end\n"
            "function Screenshot() ev = ev .. 'Screenshot;' end\n"
            "function EscPressed() ev = ev .. 'EscPressed;' end\n"
            "function AvatarToCamera() ev = ev .. 'AvatarToCamera;' end\n");
    }

    ~GameStatesTest() override {
        while (app->getCurrentState()) {
            app->popState();
        }
        play.reset();
        edit.reset();
        game.stop();
    }

    std::string events() {
        const std::string text = game.eval("ev");
        game.run("ev = ''");
        return text;
    }

    void moveMouse(int x, int y, int z) {
        OIS::MouseState state;
        state.X.rel = x;
        state.Y.rel = y;
        state.Z.rel = z;
        app->getCurrentState()->mouseMoved(OIS::MouseEvent(nullptr, state));
    }

    void press(OIS::KeyCode key, unsigned text) {
        app->getCurrentState()->keyPressed(OIS::KeyEvent(nullptr, key, text));
    }
    void release(OIS::KeyCode key) {
        app->getCurrentState()->keyReleased(OIS::KeyEvent(nullptr, key, 0));
    }

    test::TestGame game;
    GameApp* app = nullptr;
    Simulation* sim = nullptr;  // the application's
    Avatar* avatar = nullptr;
    std::unique_ptr<EditState> edit;
    std::unique_ptr<PlayState> play;
    std::set<int> held;
};

TEST_F(GameStatesTest, HeldKeysTurnTheAvatarAndMakeItsMoveRequestEveryStep) {
    held = {OIS::KC_A};
    for (int i = 1; i <= 12; ++i) {  // the rate ramps up to full in ten steps
        const float before = avatar->getYaw();
        app->updateState();
        EXPECT_NEAR(avatar->getYaw() - before, 0.4f * static_cast<float>(std::min(i, 10)), 1e-4f);
    }
    held = {OIS::KC_LEFT, OIS::KC_D};  // both: up and back down in every step
    const float before = avatar->getYaw();
    app->updateState();
    EXPECT_NEAR(avatar->getYaw() - before, 4.0f + 3.6f, 1e-4f);  // at rates 1.0, then 0.9
    EXPECT_NEAR(play->getTurnRate(), 0.9f, 1e-6f);
    held.clear();
    app->updateState();
    EXPECT_EQ(play->getTurnRate(), 0.0f);  // released: stops at once

    held = {OIS::KC_UP, OIS::KC_DOWN, OIS::KC_SPACE};  // backward wins
    app->updateState();
    EXPECT_EQ(avatar->getMoveRequest(), V(-2.5f, 0.4f, 0));
    held = {OIS::KC_W};
    app->updateState();
    EXPECT_EQ(avatar->getMoveRequest(), V(5, 0, 0));
    held.clear();
    app->updateState();
    EXPECT_EQ(avatar->getMoveRequest(), V::ZERO);

    // Typing "w" into the console does not walk.
    app->getDesignerTools()->console().setOpen(true);
    held = {OIS::KC_W};
    app->updateState();
    EXPECT_EQ(avatar->getMoveRequest(), V::ZERO);
    app->getDesignerTools()->console().setOpen(false);
}

// The camera object's own tracking and motion, deprecated in OGRE 1.12.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
TEST_F(GameStatesTest, MouseEntersTheEditStateOnlyWhenTheLevelAllowsIt) {
    CameraController* camera = app->getCamera();
    EXPECT_EQ(app->getDebugText(), "PlayState entered");
    EXPECT_EQ(camera->getMode(), Follow);

    moveMouse(3, 0, 0);
    EXPECT_EQ(app->getCurrentState(), play.get());
    EXPECT_EQ(game.logLinesWith("Error while opening setup table!").size(), 1u);
    game.run("Level = { editstateallowed = '0' }");
    moveMouse(3, 0, 0);
    EXPECT_EQ(app->getCurrentState(), play.get());

    game.run("Level = { editstateallowed = '1' }");
    moveMouse(0, 0, 0);  // OIS's report as the window comes up: no motion
    EXPECT_EQ(app->getCurrentState(), play.get());
    held = {OIS::KC_W};
    app->updateState();
    EXPECT_EQ(avatar->getMoveRequest(), V(5, 0, 0));
    held.clear();
    moveMouse(3, 0, 0);
    ASSERT_EQ(app->getCurrentState(), edit.get());
    EXPECT_EQ(app->getDebugText(), "EditState entered");
    EXPECT_EQ(avatar->getMoveRequest(), V::ZERO);
    EXPECT_EQ(camera->getMode(), Free);
    EXPECT_EQ(camera->getCamera()->getAutoTrackTarget(), nullptr);

    // Letters do not leave; an arrow key does, at the next step.
    held = {OIS::KC_W, OIS::KC_A};
    EXPECT_TRUE(app->updateState());
    EXPECT_EQ(app->getCurrentState(), edit.get());
    held = {OIS::KC_LEFT};
    EXPECT_TRUE(app->updateState());
    EXPECT_EQ(app->getCurrentState(), play.get());
    EXPECT_EQ(camera->getMode(), Follow);
    EXPECT_NE(camera->getCamera()->getAutoTrackTarget(), nullptr);
    EXPECT_EQ(app->getDebugText(), "EditState entered");  // resume leaves the text

    // LeaveEditMode ends only the edit state, at its next step.
    app->leaveEditMode();
    app->updateState();
    EXPECT_EQ(app->getCurrentState(), play.get());
    moveMouse(0, 0, 1);
    ASSERT_EQ(app->getCurrentState(), edit.get());
    app->leaveEditMode();
    EXPECT_EQ(app->getCurrentState(), edit.get());
    app->updateState();
    EXPECT_EQ(app->getCurrentState(), play.get());
    EXPECT_TRUE(app->isRunning());
}

TEST_F(GameStatesTest, TheMouseFliesTheEditCameraAndPlayPutsItBackOnItsCarrier) {
    game.run("Level = { editstateallowed = '1' }");
    moveMouse(1, 0, 0);
    ASSERT_EQ(app->getCurrentState(), edit.get());
    Ogre::Camera* camera = app->getCamera()->getCamera();
    const V direction = camera->getDirection();
    moveMouse(10, 10, 100);  // turns and flies the camera itself, not its carrier
    EXPECT_FALSE(camera->getDirection().positionEquals(direction, 1e-3f));
    EXPECT_NE(camera->getPosition(), V::ZERO);
    EXPECT_EQ(app->getCamera()->getCameraNode()->getPosition(), V::ZERO);
    held = {OIS::KC_UP};
    app->updateState();
    ASSERT_EQ(app->getCurrentState(), play.get());
    EXPECT_EQ(camera->getPosition(), V::ZERO);
}

#pragma GCC diagnostic pop

TEST_F(GameStatesTest, KeyPressesReachTheScriptWithCodeAndCharacter) {
    press(OIS::KC_W, 119);
    EXPECT_EQ(events(), "KeyPressed(17,string:119);");
    press(OIS::KC_ESCAPE, 27);
    press(OIS::KC_SYSRQ, 0);
    press(OIS::KC_RETURN, 13);
    EXPECT_EQ(events(),
              "EscPressed;KeyPressed(1,string:27);Screenshot;KeyPressed(183,string:0);"
              "KeyPressed(28,string:13);");
    release(OIS::KC_W);
    EXPECT_EQ(events(), "KeyReleased(17,0);");

    game.run("Level = { editstateallowed = '1' }");
    moveMouse(1, 0, 0);
    ASSERT_EQ(app->getCurrentState(), edit.get());
    press(OIS::KC_RETURN, 13);
    press(OIS::KC_ESCAPE, 27);
    release(OIS::KC_RETURN);
    EXPECT_EQ(events(),
              "AvatarToCamera;KeyPressed(28,string:13);EscPressed;KeyPressed(1,string:27);");
}

// A start level that failed to compile defines no callbacks, so Escape could
// only raise script errors. Escape then ends the game as ShutDown() does; a
// level that defines either callback keeps Escape, also when it guards its
// globals with a metatable that raises on unknown names.
TEST(GameStatesLevel, EscapeEndsOnlyALevelWithoutEscPressedAndKeyPressed) {
    test::TestGame game(
        test::TestGame::defaultSetup(),
        {{"start.lua", "CreateSceneNode('', 'LevelRoot')\nfunction EscPressed(\n"}});
    GameApp& app = game.start();
    ASSERT_FALSE(game.logLinesWith("Scripting error").empty());
    const OIS::KeyEvent escape(nullptr, OIS::KC_ESCAPE, 27);

    game.run(
        "setmetatable(_G, { __index = function(_, k) error('undefined ' .. k) end })\n"
        "function EscPressed() LogText('EscPressed ran') end");
    app.getCurrentState()->keyPressed(escape);
    game.run("EscPressed = nil\nfunction KeyPressed(code) LogText('KeyPressed ran') end");
    app.getCurrentState()->keyPressed(escape);
    EXPECT_EQ(game.logLinesWith("Pressed ran").size(), 2u);
    EXPECT_TRUE(app.isRunning());

    game.run("KeyPressed = nil");
    const size_t errors = game.logLinesWith("Scripting error").size();
    app.getCurrentState()->keyPressed(escape);
    EXPECT_FALSE(app.isRunning());
    EXPECT_EQ(game.logLinesWith("Scripting error").size(), errors);
    EXPECT_EQ(game.logLinesWith(states::kEscapeEndsGame).size(), 1u);
}

}  // namespace
}  // namespace vantor
