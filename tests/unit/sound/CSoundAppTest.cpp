#include <gtest/gtest.h>

#include "app/GameApp.h"
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

}  // namespace
}  // namespace vantor
