#include "sound/CSound.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <fstream>
#include <set>

#include "sound/AudioDevice.h"
#include "sound/SoundTestSupport.h"

namespace vantor {
namespace {

std::string errorLine(AudioError code, const std::string& path) {
    return "CSound: Error code: " + std::to_string(static_cast<int>(code)) + " (" + path + ")";
}

class CSoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::useNullAudio();
        sound = std::make_unique<CSound>();
        ASSERT_TRUE(sound->getDevice().isInitialised()) << "no OpenAL device (null backend)";
        tone = dir.file("tone.wav");
        ASSERT_TRUE(test::writeTone(tone, 2.0, 440.0, 1));
    }

    int volumeOf(uint32_t channel) {
        int volume = -1;
        EXPECT_TRUE(sound->getDevice().channelGetAttributes(channel, &volume, nullptr));
        return volume;
    }

    test::TempDir dir;
    test::LogCapture logs;
    std::unique_ptr<CSound> sound;
    std::string tone;
};

TEST(CSoundScaleTest, ScalesThroughSinglePrecisionAndTruncates) {
    EXPECT_EQ(CSound::scaleVolume(100, 256), 100);
    EXPECT_EQ(CSound::scaleVolume(100, 255), 99);
    EXPECT_EQ(CSound::scaleVolume(256, 256), 256);
    EXPECT_EQ(CSound::scaleVolume(255, 1), 0);
    EXPECT_EQ(CSound::scaleVolume(200, 128), 100);
    EXPECT_EQ(CSound::scaleVolume(100, 0), 0);
    EXPECT_EQ(CSound::scaleVolume(-100, 256), -100);
    // Far beyond any sensible input still gives a defined, saturated result.
    EXPECT_EQ(CSound::scaleVolume(2147483647, 2147483647), 2147483520);
}

TEST_F(CSoundTest, StartsWithFullScalesAndCeiling) {
    EXPECT_EQ(sound->getSoundVolume(), 256);
    EXPECT_EQ(sound->getMusicVolume(), 256);
    EXPECT_EQ(sound->getDevice().getMaxVolume(), 256);
    const uint32_t channel = sound->play2D(tone, 256, false);
    ASSERT_NE(channel, 0u);
    EXPECT_EQ(volumeOf(channel), 256);  // not clipped to a 0..100 range
}

TEST_F(CSoundTest, PathEndingInMp3UsesTheMusicScale) {
    sound->setVolumes(128, 64);
    // The scale is chosen by the path's last three characters, not the content.
    const std::string wavNamedMp3 = dir.file("effect.mp3");
    ASSERT_TRUE(test::writeTone(wavNamedMp3, 0.5, 440.0, 1));
    const std::string upperMp3 = dir.file("effect.MP3");
    ASSERT_TRUE(test::writeTone(upperMp3, 0.5, 440.0, 1));

    EXPECT_EQ(volumeOf(sound->play2D(tone, 200, false)), 100);
    EXPECT_EQ(volumeOf(sound->play2D(wavNamedMp3, 200, false)), 50);
    EXPECT_EQ(volumeOf(sound->play3D(wavNamedMp3 + "", 200, false)), 50);
    EXPECT_EQ(volumeOf(sound->play2D(upperMp3, 200, false)), 100);  // case-sensitive

    sound->setVolumes(256, 0);
    EXPECT_EQ(volumeOf(sound->play2D(wavNamedMp3, 256, false)), 0);
}

TEST_F(CSoundTest, DecodesRealMp3OggAndFlacFiles) {
    const std::string mp3 = dir.file("music.mp3");
    const std::string ogg = dir.file("effect.ogg");
    const std::string flac = dir.file("effect.flac");
    ASSERT_TRUE(test::writeTone(mp3, 0.5, 440.0, 2, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III));
    ASSERT_TRUE(test::writeTone(ogg, 0.5, 440.0, 2, SF_FORMAT_OGG | SF_FORMAT_VORBIS));
    ASSERT_TRUE(test::writeTone(flac, 0.5, 440.0, 1, SF_FORMAT_FLAC | SF_FORMAT_PCM_16));
    EXPECT_NE(sound->play2D(mp3, 100, false), 0u);
    EXPECT_NE(sound->play3D(ogg, 100, false), 0u);  // stereo mixed down for 3D
    EXPECT_NE(sound->play2D(flac, 100, false), 0u);
    EXPECT_NE(sound->playStream(mp3), 0u);
    EXPECT_EQ(sound->getDevice().getSamplesLoaded(), 3);
    EXPECT_FALSE(logs.containsPrefix("CSound: Error code:"));
}

TEST_F(CSoundTest, SamePathIsLoadedOnceAndPlaysOnTwoChannels) {
    const uint32_t first = sound->play2D(tone, 100, false);
    const uint32_t second = sound->play2D(tone, 100, false);
    EXPECT_NE(first, 0u);
    EXPECT_NE(second, 0u);
    EXPECT_NE(first, second);
    EXPECT_EQ(sound->getDevice().getSamplesLoaded(), 1);
    EXPECT_EQ(sound->getChannelCount(), 2u);
    EXPECT_TRUE(sound->getDevice().channelIsPlaying(first));
    EXPECT_TRUE(sound->getDevice().channelIsPlaying(second));
}

TEST_F(CSoundTest, FirstLoadDecidesLoopAnd3D) {
    AudioDevice& device = sound->getDevice();
    const uint32_t once = sound->play2D(tone, 100, false);
    const uint32_t askedToLoop = sound->play2D(tone, 100, true);
    const uint32_t askedFor3D = sound->play3D(tone, 100, true);
    EXPECT_FALSE(device.channelIsLooping(once));
    EXPECT_FALSE(device.channelIsLooping(askedToLoop));
    EXPECT_FALSE(device.channelIs3D(askedFor3D));
    EXPECT_FALSE(device.channelIsLooping(askedFor3D));

    const std::string other = dir.file("other.wav");
    ASSERT_TRUE(test::writeTone(other, 0.5, 660.0, 2));
    const uint32_t looped3D = sound->play3D(other, 100, true);
    const uint32_t askedFor2D = sound->play2D(other, 100, false);
    EXPECT_TRUE(device.channelIs3D(looped3D));
    EXPECT_TRUE(device.channelIs3D(askedFor2D));
    EXPECT_TRUE(device.channelIsLooping(askedFor2D));
    EXPECT_EQ(device.getSamplesLoaded(), 2);
}

TEST_F(CSoundTest, StopChannelIgnoresChannelsItDoesNotHold) {
    AudioDevice& device = sound->getDevice();
    const uint32_t kept = sound->play2D(tone, 100, true);
    sound->stopChannel(kept + 1000);
    sound->stopChannel(0);
    EXPECT_TRUE(device.channelIsPlaying(kept));
    EXPECT_EQ(sound->getChannelCount(), 1u);

    sound->stopAll();
    EXPECT_EQ(sound->getChannelCount(), 0u);
    EXPECT_FALSE(device.channelIsPlaying(kept));

    // The next play takes the freed playback slot under a new handle; the old
    // handle reaches nothing any more.
    const uint32_t next = sound->play2D(tone, 100, true);
    ASSERT_NE(next, 0u);
    EXPECT_NE(next, kept);
    sound->stopChannel(kept);
    EXPECT_FALSE(device.channelStop(kept));
    EXPECT_EQ(device.errorGetCode(), AudioError::Handle);
    EXPECT_TRUE(device.channelIsPlaying(next));
    EXPECT_EQ(sound->getChannelCount(), 1u);

    sound->stopChannel(next);
    EXPECT_FALSE(device.channelIsPlaying(next));
    EXPECT_EQ(sound->getChannelCount(), 0u);
}

TEST_F(CSoundTest, StopAllLeavesTheStreamPlaying) {
    const uint32_t stream = sound->playStream(tone);
    sound->play2D(tone, 100, true);
    sound->stopAll();
    EXPECT_TRUE(sound->isStreamPlaying());
    EXPECT_TRUE(sound->getDevice().channelIsPlaying(stream));
}

TEST_F(CSoundTest, SetVolumesLeavesPlayingChannelsAlone) {
    const uint32_t before = sound->play2D(tone, 200, true);
    const uint32_t stream = sound->playStream(tone);
    sound->setVolumes(128, 128);
    EXPECT_EQ(volumeOf(before), 200);
    EXPECT_EQ(volumeOf(stream), 100);
    EXPECT_EQ(volumeOf(sound->play2D(tone, 200, true)), 100);
    EXPECT_EQ(volumeOf(sound->playStream(tone)), 50);
}

TEST_F(CSoundTest, EleventhSimultaneousPlayOfOneSampleReturnsZero) {
    std::set<uint32_t> channels;
    for (int i = 0; i < 10; ++i) {
        const uint32_t channel = sound->play2D(tone, 100, true);
        ASSERT_NE(channel, 0u) << "play " << i;
        channels.insert(channel);
    }
    EXPECT_EQ(channels.size(), 10u);
    EXPECT_EQ(sound->play2D(tone, 100, true), 0u);
    EXPECT_EQ(sound->getChannelCount(), 10u);
    EXPECT_FALSE(logs.containsPrefix("CSound: Error code:"));

    // Another sample has its own ten playbacks.
    const std::string other = dir.file("other.wav");
    ASSERT_TRUE(test::writeTone(other, 0.5, 660.0, 1));
    EXPECT_NE(sound->play2D(other, 100, false), 0u);

    sound->stopChannel(*channels.begin());
    EXPECT_NE(sound->play2D(tone, 100, true), 0u);
}

TEST_F(CSoundTest, SampleThatFailsToLoadIsLoggedAndRetried) {
    const std::string missing = dir.file("missing.wav");
    EXPECT_EQ(sound->play2D(missing, 100, false), 0u);
    EXPECT_EQ(sound->play3D(missing, 100, false), 0u);
    EXPECT_EQ(logs.count(errorLine(AudioError::FileOpen, missing)), 2);

    const std::string notSound = dir.file("notes.wav");
    std::ofstream(notSound) << "not a sound file";
    EXPECT_EQ(sound->play2D(notSound, 100, false), 0u);
    EXPECT_EQ(logs.count(errorLine(AudioError::FileFormat, notSound)), 1);

    // Nothing was cached: once the file exists it loads.
    ASSERT_TRUE(test::writeTone(missing, 0.5, 440.0, 1));
    EXPECT_NE(sound->play2D(missing, 100, false), 0u);
    EXPECT_EQ(sound->getChannelCount(), 1u);
}

TEST_F(CSoundTest, PlayStreamReplacesTheStreamAndReportsFailures) {
    AudioDevice& device = sound->getDevice();
    const std::string second = dir.file("second.wav");
    ASSERT_TRUE(test::writeTone(second, 1.0, 330.0, 2));

    const uint32_t first = sound->playStream(tone);
    ASSERT_NE(first, 0u);
    EXPECT_TRUE(sound->isStreamPlaying());
    EXPECT_EQ(volumeOf(first), 100);
    EXPECT_EQ(logs.count("CSound: Playing " + tone), 1);

    const uint32_t next = sound->playStream(second);
    ASSERT_NE(next, 0u);
    EXPECT_NE(next, first);
    EXPECT_FALSE(device.channelIsPlaying(first));
    EXPECT_EQ(device.errorGetCode(), AudioError::Handle);  // freed, not just stopped
    EXPECT_TRUE(device.channelIsPlaying(next));

    const std::string missing = dir.file("missing.ogg");
    EXPECT_EQ(sound->playStream(missing), 0u);
    EXPECT_FALSE(sound->isStreamPlaying());
    EXPECT_FALSE(device.channelIsPlaying(next));  // the old stream was stopped first
    EXPECT_EQ(logs.count(errorLine(AudioError::FileOpen, missing)), 1);
    EXPECT_EQ(logs.count("CSound: Playing " + missing), 0);

    sound->stopStream();
    sound->stopStream();
    EXPECT_FALSE(sound->isStreamPlaying());
}

TEST_F(CSoundTest, OnlyThreeDChannelsTakePositions) {
    AudioDevice& device = sound->getDevice();
    const uint32_t placed = sound->play3D(tone, 100, true);
    EXPECT_TRUE(device.channelSet3DPosition(placed, {5.0f, 0.0f, 0.0f}));
    const std::string other = dir.file("flat.wav");
    ASSERT_TRUE(test::writeTone(other, 0.5, 440.0, 1));
    EXPECT_FALSE(device.channelSet3DPosition(sound->play2D(other, 100, false), {1, 2, 3}));
    EXPECT_EQ(device.errorGetCode(), AudioError::No3D);
}

}  // namespace
}  // namespace vantor
