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

#include "sound/CSound.h"
#include "sound/SoundTestSupport.h"
#include "support/HeadlessOgre.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

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
    CSound sound(nullptr);
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
    EXPECT_EQ(logs.count("CSound: "), 1);
    EXPECT_EQ(logs.count("CSound: Error! Can't initialize output device"), 1);
}

// Plays a tone 5 units along +x of a listener at "_CameraNode", which is
// yawed 180 degrees: +x is on the listener's left.
void childPlaysToTheLeft(const std::string& dir) {
    const std::string tone = dir + "/tone.wav";
    ASSERT_TRUE(test::writeTone(tone, 1.0, 440.0, 1));
    test::HeadlessOgre ogre;
    ogre.sceneManager()
        ->getRootSceneNode()
        ->createChildSceneNode("_CameraNode")
        ->yaw(Ogre::Degree(180));
    CSound sound(ogre.sceneManager());  // the device opens last: the recording starts
    sound.updateListener();
    const uint32_t channel = sound.play3D(tone, 256, false);
    ASSERT_NE(channel, 0u);
    sound.setChannelPosition(channel, 5.0f, 0.0f, 0.0f);
    sleepSeconds(0.7);
}

// A 6 s stereo sample is too long to keep, so it is read from its file while
// it plays, with no call from this thread.
void childLongSample(const std::string& dir) {
    const std::string music = dir + "/long.wav";
    ASSERT_TRUE(test::writeTone(music, 6.0, 330.0, 2));
    CSound sound(nullptr);
    ASSERT_NE(sound.play2D(music, 256, false), 0u);
    sleepSeconds(6.8);
}

// Effects play on the sound scale, paths ending in "mp3" on the music scale
// (a WAV file so named: only the name counts).
void childScales(const std::string& dir) {
    const std::string effect = dir + "/effect.wav";
    const std::string music = dir + "/music.mp3";
    ASSERT_TRUE(test::writeTone(effect, 0.3, 440.0, 1));
    ASSERT_TRUE(test::writeTone(music, 0.3, 440.0, 1));
    CSound sound(nullptr);
    sound.setVolumes(256, 64);
    ASSERT_NE(sound.play2D(effect, 256, false), 0u);
    sleepSeconds(0.5);
    ASSERT_NE(sound.play2D(music, 256, false), 0u);
    sleepSeconds(0.5);
}

TEST(SoundChild, DISABLED_Run) {
    const std::string mode = childEnv("VANTOR_SOUND_CHILD");
    const std::string dir = childEnv("VANTOR_SOUND_DIR");
    if (mode == "nodevice") {
        childWithoutDevice(dir);
    } else if (mode == "turned") {
        childPlaysToTheLeft(dir);
    } else if (mode == "long") {
        childLongSample(dir);
    } else if (mode == "scales") {
        childScales(dir);
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
        env["VANTOR_SOUND_DIR"] = dir.path().string();
        const std::string output = dir.file(mode + ".log");
        EXPECT_EQ(test::runSoundChild(env, output), 0) << readAll(output);
        // A filter that matched nothing would also exit with 0.
        EXPECT_NE(readAll(output).find("[  PASSED  ] 1 test."), std::string::npos)
            << readAll(output);
    }

    test::TempDir dir;
};

TEST_F(SoundOutputTest, WithoutADeviceOneLineIsLoggedAndTheLibrariesSayNothing) {
    // ALSA with a device that does not exist fails on any machine, and both
    // ALSA and OpenAL print complaints of their own when it does.
    const std::string conf = dir.file("alsoft-nodevice.conf");
    std::ofstream(conf) << "[general]\ndrivers = alsa\n[alsa]\ndevice = vantor_no_such_pcm\n";
    run("nodevice", {{"ALSOFT_DRIVERS", "alsa"}, {"ALSOFT_CONF", conf}});
    const std::string output = readAll(dir.file("nodevice.log"));
    EXPECT_EQ(output.find("ALSA lib"), std::string::npos) << output;
    EXPECT_EQ(output.find("AL lib"), std::string::npos) << output;
}

TEST_F(SoundOutputTest, TurningTheListenerMovesTheSoundToTheOtherEar) {
    const std::vector<double> rms = test::channelRms(recordChild("turned"), 0.15, 0.55);
    ASSERT_EQ(rms.size(), 2u);
    EXPECT_GT(rms[0], 0.02);
    EXPECT_GT(rms[0], 2.0 * rms[1]) << "left " << rms[0] << " right " << rms[1];
}

TEST_F(SoundOutputTest, LongSamplePlaysFromItsFileToTheEndOnce) {
    const std::string wave = recordChild("long");
    const std::vector<double> late = test::channelRms(wave, 5.2, 5.8);
    ASSERT_EQ(late.size(), 2u);
    EXPECT_GT(late[0], 0.1);
    EXPECT_GT(late[1], 0.1);
    const std::vector<double> after = test::channelRms(wave, 6.3, 6.6);
    ASSERT_EQ(after.size(), 2u);
    EXPECT_LT(after[0], 0.01);  // not looped
}

TEST_F(SoundOutputTest, PathsEndingInMp3PlayOnTheMusicScale) {
    const std::string wave = recordChild("scales");
    const std::vector<double> effect = test::channelRms(wave, 0.05, 0.25);
    const std::vector<double> music = test::channelRms(wave, 0.55, 0.75);
    ASSERT_EQ(effect.size(), 2u);
    ASSERT_EQ(music.size(), 2u);
    ASSERT_GT(effect[0], 0.05);
    EXPECT_NEAR(music[0] / effect[0], 0.25, 0.03);
}

}  // namespace
}  // namespace vantor
