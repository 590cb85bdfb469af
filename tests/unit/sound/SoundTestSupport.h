#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vantor::test {

// Makes every later OpenAL device in this process use the null backend
// (unless the environment already chose one): no sound card is needed.
void useNullAudio();

// A fresh directory under the system temp folder, removed with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Writes a sine tone with libsndfile. format: a libsndfile major format and
// subtype (0 means 16-bit WAV). Returns false when the format cannot be written.
bool writeTone(const std::string& path, double seconds, double hertz, int channels, int format = 0);

// Collects the lines written to the engine log (OGRE's default log) while it
// lives; creates the log manager first when the process has none.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    const std::vector<std::string>& lines() const;
    int count(const std::string& line) const;
    bool containsPrefix(const std::string& prefix) const;

private:
    struct Listener;
    std::unique_ptr<Listener> listener_;
};

// Runs this test binary again as a child process that executes only the test
// SoundChild.DISABLED_Run, with `env` added to (or replacing entries of) the
// current environment. OpenAL reads its backend choice once per process, so
// anything that needs another backend than the parent's runs this way.
// Returns the child's exit status (0: its assertions passed); its output goes
// to `outputFile`.
int runSoundChild(const std::map<std::string, std::string>& env, const std::string& outputFile);

// Per-channel RMS (full scale 1.0) of frames [from, to) seconds of a sound file;
// empty when the file cannot be read.
std::vector<double> channelRms(const std::string& path, double from, double to);

}  // namespace vantor::test
