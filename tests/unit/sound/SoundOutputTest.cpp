// Tests that need another OpenAL backend than the rest of the process (no
// device at all, or the wave-file writer that records what was really mixed).
// Each runs SoundChild.DISABLED_Run in a child process, which does the part
// named by VANTOR_SOUND_CHILD; the parent checks its exit status and output.

#include <OgreSceneManager.h>
#include <OgreSceneNode.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "sound/AudioDevice.h"
#include "sound/CSound.h"
#include "sound/SoundTestSupport.h"
#include "support/HeadlessOgre.h"

namespace vantor {
namespace {

std::string childEnv(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

void sleepSeconds(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

// --- the child's side -------------------------------------------------------

void childWithoutDevice(const std::string& dir) {
    test::LogCapture logs;
    const std::string tone = dir + "/tone.wav";
    ASSERT_TRUE(test::writeTone(tone, 0.5, 440.0, 1));
    CSound sound;
    EXPECT_FALSE(sound.getDevice().isInitialised());
    EXPECT_EQ(sound.play2D(tone, 100, true), 0u);
    EXPECT_EQ(sound.play3D(tone, 100, false), 0u);
    EXPECT_EQ(sound.playStream(tone), 0u);
    EXPECT_FALSE(sound.isStreamPlaying());
    sound.setChannelPosition(1, 1, 2, 3);
    sound.stopChannel(1);
    sound.stopAll();
    sound.stopStream();
    sound.setVolumes(128, 128);
    sound.updateListener();
    EXPECT_EQ(sound.getChannelCount(), 0u);
    int soundLines = 0;
    for (const std::string& line : logs.lines()) {
        soundLines += line.rfind("CSound: ", 0) == 0 ? 1 : 0;
    }
    EXPECT_EQ(soundLines, 1);
    EXPECT_EQ(logs.count("CSound: Error! Can't initialize output device"), 1);
}

// Plays a tone 5 units to the listener's +x for half a second; with `turned`
// the listener faces the other way (yawed 180 degrees), so +x is its left.
void childPlaysToTheSide(const std::string& dir, bool turned) {
    const std::string tone = dir + "/tone.wav";
    ASSERT_TRUE(test::writeTone(tone, 1.0, 440.0, 1));
    test::HeadlessOgre ogre;
    Ogre::SceneNode* node =
        ogre.sceneManager()->getRootSceneNode()->createChildSceneNode("_CameraNode");
    if (turned) {
        node->yaw(Ogre::Degree(180));
    }
    CSound sound;
    ASSERT_TRUE(sound.getDevice().isInitialised());
    sound.placeListener(*node);
    const uint32_t channel = sound.play3D(tone, 256, false);
    ASSERT_NE(channel, 0u);
    sound.setChannelPosition(channel, 5.0f, 0.0f, 0.0f);
    sound.updateListener();
    sleepSeconds(0.7);
}

// Streams a 3 s tone while updating every 20 ms, as the frame loop does.
void childStreams(const std::string& dir) {
    const std::string music = dir + "/music.wav";
    ASSERT_TRUE(test::writeTone(music, 3.0, 330.0, 2));
    CSound sound;
    ASSERT_TRUE(sound.getDevice().isInitialised());
    ASSERT_NE(sound.playStream(music), 0u);
    for (int i = 0; i < 170; ++i) {
        sleepSeconds(0.02);
        sound.updateListener();
    }
}

TEST(SoundChild, DISABLED_Run) {
    const std::string mode = childEnv("VANTOR_SOUND_CHILD");
    const std::string dir = childEnv("VANTOR_SOUND_DIR");
    if (mode == "nodevice") {
        childWithoutDevice(dir);
    } else if (mode == "right" || mode == "turned") {
        childPlaysToTheSide(dir, mode == "turned");
    } else if (mode == "stream") {
        childStreams(dir);
    } else {
        FAIL() << "unknown child mode '" << mode << "'";
    }
}

// --- the parent's side ------------------------------------------------------

std::string readAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class SoundOutputTest : public ::testing::Test {
protected:
    // Runs the child on the wave backend and returns the recorded file.
    std::string recordChild(const std::string& mode) {
        const std::string wave = dir.file(mode + ".out.wav");
        const std::string conf = dir.file("alsoft.conf");
        std::ofstream(conf) << "[general]\ndrivers = wave\nchannels = stereo\n"
                               "sample-type = int16\nfrequency = 44100\nhrtf = false\n"
                               "[wave]\nfile = "
                            << wave << "\n";
        run(mode, {{"ALSOFT_DRIVERS", "wave"}, {"ALSOFT_CONF", conf}});
        return wave;
    }

    void run(const std::string& mode, std::map<std::string, std::string> env) {
        env["VANTOR_SOUND_CHILD"] = mode;
        env["VANTOR_SOUND_DIR"] = dir.path();
        const std::string output = dir.file(mode + ".log");
        EXPECT_EQ(test::runSoundChild(env, output), 0) << readAll(output);
        // A filter that matched nothing would also exit with 0.
        EXPECT_NE(readAll(output).find("[  PASSED  ] 1 test."), std::string::npos)
            << readAll(output);
    }

    test::TempDir dir;
};

TEST_F(SoundOutputTest, WithoutADeviceOneLineIsLoggedAndEveryCallIsHarmless) {
    run("nodevice", {{"ALSOFT_DRIVERS", "no-such-driver"}});
}

TEST_F(SoundOutputTest, ThreeDSoundToTheListenersRightIsLouderOnTheRight) {
    const std::vector<double> rms = test::channelRms(recordChild("right"), 0.15, 0.55);
    ASSERT_EQ(rms.size(), 2u);
    EXPECT_GT(rms[1], 0.02);
    EXPECT_GT(rms[1], 2.0 * rms[0]) << "left " << rms[0] << " right " << rms[1];
}

TEST_F(SoundOutputTest, TurningTheListenerMovesTheSoundToTheOtherEar) {
    const std::vector<double> rms = test::channelRms(recordChild("turned"), 0.15, 0.55);
    ASSERT_EQ(rms.size(), 2u);
    EXPECT_GT(rms[0], 0.02);
    EXPECT_GT(rms[0], 2.0 * rms[1]) << "left " << rms[0] << " right " << rms[1];
}

TEST_F(SoundOutputTest, StreamKeepsPlayingPastItsFirstBuffersAndPlaysOnce) {
    const std::string wave = recordChild("stream");
    // About 1.5 s are queued at the start; sound after 2 s came from refills.
    const std::vector<double> late = test::channelRms(wave, 2.2, 2.8);
    ASSERT_EQ(late.size(), 2u);
    EXPECT_GT(late[0], 0.1);
    EXPECT_GT(late[1], 0.1);
    // The 3 s file ends and is not looped.
    const std::vector<double> after = test::channelRms(wave, 3.15, 3.35);
    ASSERT_EQ(after.size(), 2u);
    EXPECT_LT(after[0], 0.01);
}

}  // namespace
}  // namespace vantor
