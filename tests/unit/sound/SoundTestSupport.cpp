#include "sound/SoundTestSupport.h"

#include <sndfile.h>

#include <cmath>
#include <cstdlib>
#include <vector>

namespace vantor::test {

void useNullAudio() {
    setenv("ALSOFT_DRIVERS", "null", 0);
}

bool writeTone(const std::string& path, double seconds, double hertz, int channels, int format) {
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
    for (size_t f = 0; f < frames; ++f) {
        const float v =
            0.5f * static_cast<float>(std::sin(2.0 * M_PI * hertz * f / info.samplerate));
        for (int c = 0; c < channels; ++c) {
            data[f * static_cast<size_t>(channels) + static_cast<size_t>(c)] = v;
        }
    }
    const sf_count_t written = sf_writef_float(file, data.data(), static_cast<sf_count_t>(frames));
    sf_close(file);
    return written == static_cast<sf_count_t>(frames);
}

}  // namespace vantor::test
