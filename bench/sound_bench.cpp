// What a sound call costs the frame that makes it: the first play of a sample
// decodes it (short ones whole, on the calling thread), the first play of a
// long one only opens its file; later plays and music streams only start a
// voice. Runs on OpenAL Soft's null output, so no sound card is needed.
#include <sndfile.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "Bench.h"
#include "sound/CSound.h"

namespace vantor::bench {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// A 440 Hz stereo tone of `seconds` at 44.1 kHz in the given format.
void writeTone(const fs::path& path, double seconds, int format) {
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = 2;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) {
        return;
    }
    std::vector<float> block(2 * 4410);
    for (int tenth = 0; tenth < int(seconds * 10); ++tenth) {
        for (size_t i = 0; i < block.size(); ++i) {
            block[i] = 0.3f * float(std::sin(0.0627 * double(i / 2)));
        }
        sf_writef_float(file, block.data(), 4410);
    }
    sf_close(file);
}

template <typename Work>
double msOf(Work work) {
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

std::vector<BenchRow> runSoundBench(bool quick) {
    setenv("ALSOFT_DRIVERS", "null", 0);
    const fs::path dir =
        fs::temp_directory_path() / ("vantor-sound-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const double longSeconds = quick ? 10 : 120;
    writeTone(dir / "short.ogg", 1.9, SF_FORMAT_OGG | SF_FORMAT_VORBIS);
    writeTone(dir / "short.wav", 4.9, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    writeTone(dir / "long.wav", longSeconds, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    writeTone(dir / "music.ogg", longSeconds, SF_FORMAT_OGG | SF_FORMAT_VORBIS);

    std::vector<BenchRow> rows;
    {
        CSound sound(nullptr);
        rows.push_back({"sound: first Play2DSound of a 1.9 s OGG (decoded whole)",
                        msOf([&] { sound.play2D((dir / "short.ogg").string(), 100, false); }),
                        "ms"});
        rows.push_back({"sound: first Play2DSound of a 4.9 s WAV (decoded whole)",
                        msOf([&] { sound.play2D((dir / "short.wav").string(), 100, false); }),
                        "ms"});
        rows.push_back({"sound: first Play2DSound of a " + std::to_string(int(longSeconds)) +
                            " s WAV (read while it plays)",
                        msOf([&] { sound.play2D((dir / "long.wav").string(), 100, false); }),
                        "ms"});
        const int plays = quick ? 5 : 9;
        rows.push_back({"sound: Play2DSound of a kept sample",
                        msOf([&] {
                            for (int i = 0; i < plays; ++i) {
                                sound.play2D((dir / "short.wav").string(), 100, false);
                            }
                        }) * 1000.0 /
                            plays,
                        "us"});
        rows.push_back({"sound: PlayStream of an OGG",
                        msOf([&] { sound.playStream((dir / "music.ogg").string()); }), "ms"});
    }
    fs::remove_all(dir);
    return rows;
}

}  // namespace vantor::bench
