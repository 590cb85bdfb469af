#include <OgreSceneManager.h>
#include <OgreSceneNode.h>
#include <gtest/gtest.h>

#include "app/GameApp.h"
#include "sound/AudioDevice.h"
#include "sound/CSound.h"
#include "sound/SoundTestSupport.h"
#include "support/TestGame.h"

namespace vantor {
namespace {

class CSoundAppTest : public ::testing::Test {
protected:
    CSoundAppTest() : game(test::TestGame::defaultSetup(), {{"start.lua", ""}}) {
        test::useNullAudio();
        game.start();
    }

    test::TestGame game;
};

TEST_F(CSoundAppTest, ForwardingWithoutSoundDoesNothingAndReturnsZero) {
    GameApp& app = game.app();
    ASSERT_EQ(app.getSound(), nullptr);  // setup says music = 0
    app.playStream("music.ogg");
    app.unloadStream();
    EXPECT_EQ(app.play2DSound("hit.wav", 100, true), 0u);
    EXPECT_EQ(app.play3DSound("hum.wav", 100, true), 0u);
    app.setSoundPosition(1, 1.0f, 2.0f, 3.0f);
    app.stopSound(1);
    app.stopAllSounds();
    app.setMasterVolume(10, 10);
    EXPECT_TRUE(game.logLinesWith("CSound").empty());
}

TEST_F(CSoundAppTest, ListenerFollowsTheCameraCarrierNode) {
    Ogre::SceneManager* scene = game.app().getSceneManager();
    ASSERT_TRUE(scene->hasSceneNode("_CameraNode"));
    Ogre::SceneNode* carrier = scene->getSceneNode("_CameraNode");
    carrier->setPosition(3, 4, 5);
    carrier->setOrientation(Ogre::Quaternion(Ogre::Degree(90), Ogre::Vector3::UNIT_Y));

    CSound sound;
    ASSERT_TRUE(sound.getDevice().isInitialised());
    sound.updateListener();
    AudioVector position, front, top;
    ASSERT_TRUE(sound.getDevice().get3DPosition(&position, &front, &top));
    EXPECT_NEAR(position.x, 3.0f, 1e-5f);
    EXPECT_NEAR(position.y, 4.0f, 1e-5f);
    EXPECT_NEAR(position.z, 5.0f, 1e-5f);
    // Yawed 90 degrees to the left, the carrier's z axis points along +x.
    EXPECT_NEAR(front.x, 1.0f, 1e-5f);
    EXPECT_NEAR(front.z, 0.0f, 1e-5f);
    EXPECT_NEAR(top.y, 1.0f, 1e-5f);
}

}  // namespace
}  // namespace vantor
