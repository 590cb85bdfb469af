#include "sound/CSound.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>
#include <vector>

#include "support/LogCapture.h"
#include "support/TempDir.h"

namespace vantor {
namespace {

// Writes a sine tone with libsndfile. format: a libsndfile major format and
// subtype (0: 16-bit WAV). False when the format cannot be written.
bool writeTone(const std::string& path, double seconds, double hertz, int channels,
               int format = 0) {
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = channels;
    info.format = format ? format : (SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) {
        return false;
    }
    const auto frames = static_cast<size_t>(seconds * info.samplerate);
    std::vector<float> data(frames * static_cast<size_t>(channels));
    for (size_t i = 0; i < data.size(); ++i) {
        const double t = static_cast<double>(i / static_cast<size_t>(channels)) / info.samplerate;
        data[i] = 0.5f * static_cast<float>(std::sin(2.0 * M_PI * hertz * t));
    }
    const sf_count_t written = sf_writef_float(file, data.data(), static_cast<sf_count_t>(frames));
    sf_close(file);
    return written == static_cast<sf_count_t>(frames);
}

std::string errorLine(int code, const std::string& path, const std::string& cause) {
    return "CSound: Error code: " + std::to_string(code) + " (" + path + "): " + cause;
}

class CSoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("ALSOFT_DRIVERS", "null", 0);  // no sound card needed
        sound = std::make_unique<CSound>(nullptr);
        ASSERT_EQ(logs.count("CSound: Error!"), 0) << "no OpenAL device (null backend)";
        tone = dir.file("tone.wav");
        ASSERT_TRUE(writeTone(tone, 2.0, 440.0, 1));
    }

    test::TempDir dir;
    test::LogCapture logs;
    std::unique_ptr<CSound> sound;
    std::string tone;
};

TEST(CSoundScaleTest, ScalesThroughSinglePrecisionAndTruncates) {
    EXPECT_EQ(CSound::scaleVolume(100, 255), 99);
    EXPECT_EQ(CSound::scaleVolume(255, 1), 0);
    EXPECT_EQ(CSound::scaleVolume(-100, 256), -100);
    EXPECT_EQ(CSound::scaleVolume(2147483647, 2147483647), 2147483647);  // saturates
}

TEST_F(CSoundTest, DecodesRealMp3OggAndFlacFiles) {
    const std::string mp3 = dir.file("music.mp3");
    const std::string ogg = dir.file("effect.ogg");
    const std::string flac = dir.file("effect.flac");
    ASSERT_TRUE(writeTone(mp3, 0.5, 440.0, 2, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III));
    ASSERT_TRUE(writeTone(ogg, 0.5, 440.0, 2, SF_FORMAT_OGG | SF_FORMAT_VORBIS));
    ASSERT_TRUE(writeTone(flac, 0.5, 440.0, 1, SF_FORMAT_FLAC | SF_FORMAT_PCM_16));
    EXPECT_NE(sound->play2D(mp3, 100, false), 0u);
    EXPECT_NE(sound->play3D(ogg, 100, false), 0u);  // stereo mixed down for 3D
    EXPECT_NE(sound->play2D(flac, 100, false), 0u);
    EXPECT_NE(sound->playStream(mp3), 0u);
    EXPECT_EQ(logs.count("CSound: Error code:"), 0);
    // Gone from disk, a sample still plays: it was decoded once, at its first play.
    const uint32_t first = sound->play2D(tone, 100, false);
    std::remove(tone.c_str());
    EXPECT_NE(sound->play2D(tone, 100, false), first);
    EXPECT_EQ(sound->getChannelCount(), 5u);
}

TEST_F(CSoundTest, TenPlaybacksPerSampleAndTheFirstLoadDecidesTheLoop) {
    const std::string blip = dir.file("blip.wav");
    ASSERT_TRUE(writeTone(blip, 0.05, 880.0, 1));
    // Loaded unlooped: asking for a loop later changes nothing.
    EXPECT_NE(sound->play2D(blip, 100, false), 0u);
    std::set<uint32_t> channels;
    for (int i = 0; i < 9; ++i) {
        channels.insert(sound->play2D(blip, 100, true));
    }
    EXPECT_EQ(channels.size(), 9u);
    EXPECT_EQ(channels.count(0), 0u);
    EXPECT_EQ(sound->play2D(blip, 100, true), 0u);
    EXPECT_EQ(logs.count(errorLine(9, blip, "all playbacks of the sample are busy")), 1);
    // Another sample has its own ten playbacks.
    EXPECT_NE(sound->play2D(tone, 100, true), 0u);

    // Played to their end, the blips hand their playbacks back.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    for (int i = 0; i < 10; ++i) {
        EXPECT_NE(sound->play2D(blip, 100, true), 0u) << i;
    }
}

TEST_F(CSoundTest, FailuresAreLoggedWithTheirCauseAndRetried) {
    const std::string missing = dir.file("missing.wav");
    EXPECT_EQ(sound->play2D(missing, 100, false), 0u);
    EXPECT_EQ(sound->play3D(missing, 100, false), 0u);
    EXPECT_EQ(logs.count(errorLine(5, missing, "file missing or unreadable")), 2);

    const std::string notSound = dir.file("notes.wav");
    std::ofstream(notSound) << "not a sound file";
    EXPECT_EQ(sound->play2D(notSound, 100, false), 0u);
    EXPECT_EQ(logs.count(errorLine(6, notSound, "cannot decode")), 1);

    const std::string missingMusic = dir.file("missing.ogg");
    ASSERT_NE(sound->playStream(tone), 0u);
    EXPECT_EQ(sound->playStream(missingMusic), 0u);
    EXPECT_FALSE(sound->isStreamPlaying());  // the old stream was stopped first
    EXPECT_EQ(logs.count(errorLine(5, missingMusic, "file missing or unreadable")), 1);
    EXPECT_EQ(logs.count("CSound: Playing " + tone), 1);
    EXPECT_EQ(logs.count("CSound: Playing " + missingMusic), 0);

    // Nothing was cached: once the file exists it loads.
    ASSERT_TRUE(writeTone(missing, 0.5, 440.0, 1));
    EXPECT_NE(sound->play2D(missing, 100, false), 0u);
}

// A 16-bit WAV of `seconds` at 8 kHz: a header and a hole of silence (a
// sparse file), so hours of it cost nothing.
void writeSilentWav(const std::string& path, double seconds, uint16_t channels = 1) {
    const uint32_t rate = 8000, data = uint32_t(seconds * rate) * 2u * channels, riff = 36 + data;
    const uint32_t fmtSize = 16, bytesPerSecond = rate * 2u * channels;
    const uint16_t pcm = 1, align = uint16_t(2 * channels), bits = 16;
    std::ofstream out(path, std::ios::binary);
    auto put = [&](const auto& value) {
        out.write(reinterpret_cast<const char*>(&value), sizeof value);
    };
    out << "RIFF";
    put(riff);
    out << "WAVEfmt ";
    for (const auto& value : {fmtSize, uint32_t(pcm | channels << 16), rate, bytesPerSecond,
                              uint32_t(align | bits << 16)}) {
        put(value);
    }
    out << "data";
    put(data);
    out.close();
    std::filesystem::resize_file(path, 44 + data);
}

TEST_F(CSoundTest, SamplesBeyondTheLimitsAreRefusedAndLongOnesStream) {
    const std::string hours = dir.file("hours.wav");  // 2 h: refused
    writeSilentWav(hours, 7200);
    EXPECT_EQ(sound->play2D(hours, 100, false), 0u);
    EXPECT_EQ(logs.count(errorLine(7, hours, "beyond the sample limits")), 1);

    const std::string nine = dir.file("nine.wav");  // 9 channels: refused
    writeSilentWav(nine, 0.1, 9);
    EXPECT_EQ(sound->play2D(nine, 100, false), 0u);
    EXPECT_EQ(logs.count(errorLine(7, nine, "beyond the sample limits")), 1);

    // 50 minutes: read from the file while it plays, by each playback anew,
    // so removing it between plays shows in the second.
    const std::string long1 = dir.file("long.wav");
    writeSilentWav(long1, 3000);
    EXPECT_NE(sound->play2D(long1, 100, true), 0u);
    EXPECT_NE(sound->play3D(long1, 100, true), 0u);
    std::remove(long1.c_str());
    EXPECT_EQ(sound->play2D(long1, 100, true), 0u);
    EXPECT_EQ(logs.count(errorLine(5, long1, "file missing or unreadable")), 1);
    EXPECT_EQ(sound->getChannelCount(), 2u);
}

TEST_F(CSoundTest, NoFreeVoiceIsLoggedAndStopAllHandsEveryVoiceBack) {
    // 30 looping samples with 10 playbacks each want more than the 256 voices.
    std::vector<std::string> paths;
    for (int i = 0; i < 30; ++i) {
        paths.push_back(dir.file("loop" + std::to_string(i) + ".wav"));
        ASSERT_TRUE(writeTone(paths.back(), 0.1, 300.0 + i, 1));
    }
    int zeros = 0;
    for (const std::string& path : paths) {
        for (int i = 0; i < 10; ++i) {
            zeros += sound->play2D(path, 100, true) == 0 ? 1 : 0;
        }
    }
    EXPECT_EQ(zeros, 300 - 256);
    EXPECT_EQ(logs.count(errorLine(13, paths.back(), "no free voice")), 10);
    EXPECT_EQ(sound->playStream(tone), 0u);
    EXPECT_EQ(logs.count(errorLine(13, tone, "no free voice")), 1);

    sound->stopChannel(0);  // not one of its channels: nothing
    sound->stopAll();       // hands every voice back
    EXPECT_EQ(sound->getChannelCount(), 0u);
    EXPECT_NE(sound->playStream(tone), 0u);
    sound->stopAll();  // the stream goes on
    EXPECT_TRUE(sound->isStreamPlaying());
    for (int i = 0; i < 300; ++i) {  // each new stream hands the old one's voice back
        ASSERT_NE(sound->playStream(tone), 0u) << i;
    }
    for (const std::string& path : paths) {
        EXPECT_NE(sound->play3D(path, 100, true), 0u) << path;
    }
}

}  // namespace
}  // namespace vantor
