#pragma once

#include <string>

namespace vantor::test {

// Makes every later OpenAL device in this process use the null backend
// (unless the environment already chose one): no sound card is needed.
void useNullAudio();

// Writes a sine tone with libsndfile. format: a libsndfile major format and
// subtype (0 means 16-bit WAV). Returns false when the format cannot be written.
bool writeTone(const std::string& path, double seconds, double hertz, int channels, int format = 0);

}  // namespace vantor::test
