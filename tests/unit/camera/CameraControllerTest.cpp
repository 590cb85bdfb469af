#include <gtest/gtest.h>

#include <Ogre.h>

#include <cmath>

#include "camera/CameraController.h"
#include "support/TestGame.h"

namespace vantor {
namespace {

// A level with a follow point at (0, 0, 0) and an avatar node; the camera
// attaches to it at start-up and follows.
class CameraControllerTest : public ::testing::Test {
protected:
    CameraControllerTest()
        : game_(test::TestGame::defaultSetup(), {{"start.lua",
                                                  "CreateSceneNode('', 'LevelRoot')\n"
                                                  "CreateSceneNode('LevelRoot', '_FollowCamera1')\n"
                                                  "CreateSceneNode('LevelRoot', '_AVATAR')\n"}}) {
        game_.start();
        camera_ = game_.app().getCamera();
        follow_ = game_.app().getSceneManager()->getSceneNode("_FollowCamera1");
    }

    Ogre::Vector3 position() { return camera_->getCameraNode()->_getDerivedPosition(); }

    test::TestGame game_;
    CameraController* camera_ = nullptr;
    Ogre::SceneNode* follow_ = nullptr;
};

TEST_F(CameraControllerTest, AttachSnapsOntoTheFollowPointAndFollows) {
    EXPECT_EQ(camera_->getMode(), Follow);
    EXPECT_EQ(position(), Ogre::Vector3::ZERO);
    EXPECT_EQ(camera_->getCamera()->getParentSceneNode(), camera_->getCameraNode());
}

TEST_F(CameraControllerTest, TwentyMillisecondsFromRestOnlyAccelerates) {
    follow_->setPosition(10, 0, 0);
    game_.clock().advance(20);  // k = 0.02 * 3.75 / 0.5 = 0.15
    camera_->update();
    EXPECT_EQ(position(), Ogre::Vector3::ZERO);
    EXPECT_NEAR(camera_->getVelocity().x, 1.5f, 1e-5f);

    game_.clock().advance(20);
    camera_->update();  // moves by the old velocity times k
    EXPECT_NEAR(position().x, 0.225f, 1e-5f);
    // acceleration = (10 - 0) - 2 * 1.5 = 7, velocity = 1.5 + 7 * 0.15
    EXPECT_NEAR(camera_->getVelocity().x, 2.55f, 1e-5f);
}

TEST_F(CameraControllerTest, StepsWithinTheSameMillisecondMoveNothing) {
    follow_->setPosition(10, 0, 0);
    game_.clock().advance(20);
    camera_->update();
    const Ogre::Vector3 velocity = camera_->getVelocity();
    camera_->update();
    EXPECT_EQ(position(), Ogre::Vector3::ZERO);
    EXPECT_EQ(camera_->getVelocity(), velocity);
}

TEST_F(CameraControllerTest, LongPausesSnapOntoTheFollowPoint) {
    follow_->setPosition(10, 0, 0);
    game_.clock().advance(20);
    camera_->update();
    game_.clock().advance(200);  // k = 1.5
    camera_->update();
    EXPECT_EQ(position(), Ogre::Vector3(10, 0, 0));
    EXPECT_EQ(camera_->getVelocity(), Ogre::Vector3::ZERO);
}

TEST_F(CameraControllerTest, ZeroOrNegativeDampeningSnapsWithoutNaN) {
    for (float dampening : {0.0f, -1.0f}) {
        camera_->setDampening(dampening);
        follow_->setPosition(dampening, 5, 0);
        camera_->update();  // no time passed: would be 0/0
        game_.clock().advance(20);
        camera_->update();
        const Ogre::Vector3 p = position();
        EXPECT_FALSE(std::isnan(p.x) || std::isnan(p.y) || std::isnan(p.z));
        EXPECT_EQ(p, Ogre::Vector3(dampening, 5, 0));
    }
}

TEST_F(CameraControllerTest, FreeModeAndDetachStopFollowing) {
    camera_->setMode(Free);
    follow_->setPosition(10, 0, 0);
    game_.clock().advance(500);
    camera_->update();
    EXPECT_EQ(position(), Ogre::Vector3::ZERO);

    camera_->detach();
    EXPECT_EQ(camera_->getMode(), Free);
    EXPECT_EQ(camera_->getCamera()->getParentSceneNode(), nullptr);
}

TEST_F(CameraControllerTest, SettingTheSameModeRestartsTheStepClock) {
    follow_->setPosition(10, 0, 0);
    game_.clock().advance(500);
    camera_->setMode(Follow);  // same mode: only the clock restarts
    camera_->update();         // zero elapsed since the mode change
    EXPECT_EQ(position(), Ogre::Vector3::ZERO);
}

TEST(CameraControllerLevels, LevelWithoutFollowPointOrAvatarStaysFree) {
    test::TestGame game(test::TestGame::defaultSetup(),
                        {{"start.lua", "CreateSceneNode('', 'LevelRoot')\n"}});
    game.start();
    EXPECT_EQ(game.app().getCamera()->getMode(), Free);
    EXPECT_EQ(game.app().getCamera()->getCamera()->getParentSceneNode(),
              game.app().getCamera()->getCameraNode());
    EXPECT_FALSE(game.logLinesWith("no scene node _FollowCamera1").empty());
}

}  // namespace
}  // namespace vantor
