#pragma once

#include <map>
#include <string>
#include <vector>

namespace vantor::test {

// Makes every later OpenAL device in this process use the null backend
// (unless the environment already chose one): no sound card is needed.
void useNullAudio();

// Writes a sine tone with libsndfile. format: a libsndfile major format and
// subtype (0 means 16-bit WAV). Returns false when the format cannot be written.
bool writeTone(const std::string& path, double seconds, double hertz, int channels, int format = 0);

// Runs this test binary again as a child process that executes only the test
// SoundChild.DISABLED_Run, with `env` added to the current environment.
// OpenAL reads its backend choice once per process, so anything that needs
// another backend than the parent's runs this way. Returns the child's exit
// status (0: its assertions passed); its output goes to `outputFile`.
int runSoundChild(const std::map<std::string, std::string>& env, const std::string& outputFile);

// Per-channel RMS (full scale 1.0) of frames [from, to) seconds of a sound file;
// empty when the file cannot be read.
std::vector<double> channelRms(const std::string& path, double from, double to);

}  // namespace vantor::test
