#include "sound/SoundTestSupport.h"

#include <sndfile.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>
#include <cmath>
#include <cstdlib>
#include <filesystem>

extern char** environ;

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

int runSoundChild(const std::map<std::string, std::string>& env, const std::string& outputFile) {
    std::map<std::string, std::string> merged;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const size_t eq = entry.find('=');
        if (eq != std::string::npos) {
            merged[entry.substr(0, eq)] = entry.substr(eq + 1);
        }
    }
    for (const auto& [key, value] : env) {
        merged[key] = value;
    }
    std::vector<std::string> envText;
    for (const auto& [key, value] : merged) {
        envText.push_back(key + "=" + value);
    }
    std::vector<char*> envp;
    for (std::string& e : envText) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);

    std::string exe = std::filesystem::read_symlink("/proc/self/exe").string();
    std::string filter = "--gtest_filter=SoundChild.DISABLED_Run";
    std::string disabled = "--gtest_also_run_disabled_tests";
    char* argv[] = {exe.data(), filter.data(), disabled.data(), nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        return -1;
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

std::vector<double> channelRms(const std::string& path, double from, double to) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) {
        return {};
    }
    const auto begin = static_cast<sf_count_t>(from * info.samplerate);
    const auto end =
        std::min<sf_count_t>(static_cast<sf_count_t>(to * info.samplerate), info.frames);
    std::vector<double> sums(static_cast<size_t>(info.channels), 0.0);
    if (end > begin && sf_seek(file, begin, SEEK_SET) >= 0) {
        std::vector<float> data(static_cast<size_t>((end - begin) * info.channels));
        const sf_count_t got = sf_readf_float(file, data.data(), end - begin);
        for (sf_count_t f = 0; f < got; ++f) {
            for (int c = 0; c < info.channels; ++c) {
                const double v = data[static_cast<size_t>(f * info.channels + c)];
                sums[static_cast<size_t>(c)] += v * v;
            }
        }
        for (double& s : sums) {
            s = got > 0 ? std::sqrt(s / static_cast<double>(got)) : 0.0;
        }
    }
    sf_close(file);
    return sums;
}

}  // namespace vantor::test
