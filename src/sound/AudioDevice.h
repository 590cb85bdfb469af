#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>

namespace vantor {

// A 3D vector of the audio layer. The layer's space is left-handed: +x right,
// +y up, +z front, so positions and directions from the scene pass through
// unchanged and a listener whose front is +z and top +y hears +x on its right.
struct AudioVector {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

// Error codes of the last layer call (AudioDevice::errorGetCode).
enum class AudioError : int {
    Ok = 0,
    Init = 1,        // init has not succeeded (or free was called)
    Already = 2,     // init called twice
    Device = 3,      // no such output device, or it could not be opened
    Driver = 4,      // the device opened but no mixing context could be made
    FileOpen = 5,    // the file could not be opened for reading
    FileFormat = 6,  // the file is not a format the decoder knows
    Format = 7,      // the decoded data has a shape the output cannot take
    Handle = 8,      // unknown or stale handle
    NoChannel = 9,   // every playback of the sample is busy, or no voice is free
    No3D = 10,       // 3D requested from a device initialised without 3D
    IllegalParam = 11,
    Memory = 12,
};

// The sound output that the game plays through: an output device, music
// streams decoded in chunks, samples decoded once and played on a bounded
// number of channels, per-channel volume and pan, 3D positions and a 3D
// listener. OpenAL Soft mixes; libsndfile decodes WAV, OGG, FLAC and MP3.
//
// Handles (streams, samples and channels) are non-zero 32-bit values drawn
// from one counter and never reused while the device lives, so a handle that
// went stale (a channel whose playback slot was handed to a newer channel)
// fails cleanly instead of reaching someone else's sound.
//
// Every call returns a neutral value (false or 0) on failure and records an
// error code for errorGetCode; before a successful init (or with no device at
// all) every call fails with AudioError::Init and does nothing.
//
// Main thread only. The OpenAL context is process-wide, so at most one
// initialised AudioDevice may exist at a time.
class AudioDevice {
public:
    // init flags
    static constexpr uint32_t kDevice3D = 4;
    // sample and stream flags
    static constexpr uint32_t kSampleMono = 2;
    static constexpr uint32_t kSampleLoop = 4;
    static constexpr uint32_t kSample3D = 8;
    // Volume ceiling before setMaxVolume raises it.
    static constexpr int kDefaultMaxVolume = 100;

    AudioDevice();
    ~AudioDevice();
    AudioDevice(const AudioDevice&) = delete;
    AudioDevice& operator=(const AudioDevice&) = delete;

    // Opens output device `device` (1: the system's default output, n > 1: the
    // n-th output the system lists) mixing at `frequency` Hz. flags:
    // kDevice3D allows 3D samples.
    bool init(int device, int frequency, uint32_t flags);
    bool isInitialised() const { return context_ != nullptr; }
    // Releases every stream, sample and channel and closes the device.
    void free();

    // distance: metres per scene unit; rolloff: 1 is the real-world inverse
    // distance fall-off; doppler: 1 is the real-world Doppler shift.
    bool set3DFactors(float distance, float rolloff, float doppler);
    // Raises (or lowers) the volume that means full gain; at least 1.
    bool setMaxVolume(int maxVolume);
    int getMaxVolume() const { return maxVolume_; }

    // Opens a file as a stream, decoded in chunks while it plays. flags:
    // kSampleLoop. Returns the stream handle or 0.
    uint32_t streamCreateFile(const std::string& path, uint32_t flags);
    bool streamFree(uint32_t stream);

    // Decodes a whole file into a sample that up to maxPlaybacks channels
    // play at once. flags: kSampleLoop, kSample3D, kSampleMono (3D samples are
    // always mixed down to mono). Returns the sample handle or 0.
    uint32_t sampleLoad(const std::string& path, int maxPlaybacks, uint32_t flags);
    // A channel of the sample in a free playback slot, or 0 (NoChannel) when
    // all are busy. A channel is busy from here until it stops or ends.
    uint32_t sampleGetChannel(uint32_t sample);

    // Channel operations; they accept a sample channel or a stream handle.
    bool channelPlay(uint32_t handle);
    bool channelStop(uint32_t handle);
    bool channelIsPlaying(uint32_t handle);
    // volume: 0 to getMaxVolume() (clamped); pan: -100 (left) to 100 (right),
    // ignored by 3D channels.
    bool channelSetAttributes(uint32_t handle, int volume, int pan);
    bool channelGetAttributes(uint32_t handle, int* volume, int* pan) const;
    // Takes effect at the next apply3D.
    bool channelSet3DPosition(uint32_t channel, const AudioVector& position);
    bool channelIsLooping(uint32_t handle) const;
    bool channelIs3D(uint32_t handle) const;

    // Listener placement; front and top need not be normalised. Takes effect
    // at the next apply3D.
    bool set3DPosition(const AudioVector& position, const AudioVector& front,
                       const AudioVector& top);
    bool get3DPosition(AudioVector* position, AudioVector* front, AudioVector* top) const;
    bool apply3D();

    // Refills the queued buffers of playing streams. Call often (every
    // frame): a stream holds about a second and a half of decoded sound.
    void update();

    // Number of samples decoded since init (each sampleLoad that succeeded).
    int getSamplesLoaded() const { return samplesLoaded_; }

    AudioError errorGetCode() const { return error_; }

private:
    struct Sample;
    struct Stream;
    struct Channel;

    bool fail(AudioError error) const;
    bool succeed() const;
    bool ready() const;
    uint32_t nextHandle();
    // The OpenAL source behind a channel or stream handle, or 0.
    unsigned sourceOf(uint32_t handle) const;
    const Channel* findChannel(uint32_t handle) const;
    bool queueChunk(Stream& stream, unsigned buffer);
    void refill(Stream& stream);
    void releaseAll();

    void* device_ = nullptr;   // ALCdevice, owned: closed by free()
    void* context_ = nullptr;  // ALCcontext, owned: destroyed by free()
    uint32_t flags_ = 0;
    int maxVolume_ = kDefaultMaxVolume;
    float distanceFactor_ = 1.0f;
    float rolloffFactor_ = 1.0f;
    uint32_t lastHandle_ = 0;
    int samplesLoaded_ = 0;
    mutable AudioError error_ = AudioError::Ok;

    // Pending listener placement, pushed by apply3D (layer space).
    AudioVector listenerPosition_;
    AudioVector listenerFront_{0.0f, 0.0f, 1.0f};
    AudioVector listenerTop_{0.0f, 1.0f, 0.0f};

    std::map<uint32_t, std::unique_ptr<Sample>> samples_;
    std::map<uint32_t, std::unique_ptr<Stream>> streams_;
    // Live channel handles: which sample and which of its playback slots.
    std::unordered_map<uint32_t, std::unique_ptr<Channel>> channels_;
};

}  // namespace vantor
