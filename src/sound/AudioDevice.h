#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vantor {

// A 3D vector of the audio layer. The layer's space is left-handed: +x right,
// +y up, +z front, so positions and directions from the scene pass through
// unchanged and a listener whose front is +z and top +y hears +x on its right.
struct AudioVector {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

// Error codes of the last call made on the main thread (errorGetCode).
enum class AudioError : int {
    Ok = 0,
    Init = 1,        // init has not succeeded (or free was called)
    Device = 3,      // no output device could be opened
    Driver = 4,      // the device opened but no mixing context could be made
    FileOpen = 5,    // the file could not be opened for reading
    FileFormat = 6,  // the file is not a format the decoder knows, or holds no sound
    Format = 7,      // the sound has a shape beyond the sample limits
    Handle = 8,      // unknown or stale handle
    NoChannel = 9,   // every playback of the sample is busy
    IllegalParam = 11,
    Memory = 12,
    NoVoice = 13,  // all kMaxVoices voices are playing
};

// A short text for an error code, for log lines ("no free voice").
const char* describeAudioError(AudioError error);

// The sound output the game plays through, on OpenAL Soft (mixing) and
// libsndfile (WAV, OGG, FLAC and MP3 decoding): music streams, samples played
// on a bounded number of channels each, per-channel volume, 3D positions and
// a 3D listener.
//
// Voices (OpenAL sources) are a shared pool of at most kMaxVoices: a stream
// or channel takes one when it starts and hands it back when it is stopped,
// freed or has played to its end.
//
// Samples of up to cachedSampleValues() decoded values are decoded once, when
// loaded, and kept; longer ones (up to the limits below) are read from their
// file while they play, so a long file neither stalls the caller nor fills
// memory.
//
// Streams and long samples are fed by a thread of this object, not by the
// caller, so they play on however long the caller's thread is blocked. One
// mutex guards all state; decoding happens outside it.
//
// Handles (streams, samples and channels) are non-zero 32-bit values drawn
// from one counter and never reused while the device lives, so a stale handle
// fails cleanly instead of reaching someone else's sound.
//
// Every call returns a neutral value (false or 0) on failure and records an
// error code for errorGetCode; before a successful init every call fails with
// AudioError::Init and does nothing. All calls come from one thread (the
// game's main thread). The OpenAL context is process-wide, so at most one
// initialised AudioDevice may exist at a time.
class AudioDevice {
public:
    // sample flags
    static constexpr uint32_t kSampleLoop = 4;
    static constexpr uint32_t kSample3D = 8;  // positioned; mixed down to mono

    static constexpr int kMaxVoices = 256;
    // Samples kept whole: 5 s of 44.1 kHz stereo PCM, or 2 s of a compressed
    // format (OGG, FLAC, MP3), each a few milliseconds of decoding at most.
    static constexpr int64_t kCachedPcmValues = 441000;
    static constexpr int64_t kCachedCompressedValues = 176400;
    // Samples beyond these are refused (AudioError::Format).
    static constexpr int64_t kMaxSampleSeconds = 3600;
    static constexpr int kMaxSampleChannels = 8;
    static constexpr int kMaxSampleRate = 192000;

    AudioDevice();
    ~AudioDevice();
    AudioDevice(const AudioDevice&) = delete;
    AudioDevice& operator=(const AudioDevice&) = delete;

    // Opens the system's default output mixing at `frequency` Hz; a channel
    // volume of `maxVolume` means full gain. Starts the feeding thread.
    bool init(int frequency, int maxVolume);
    bool isInitialised() const { return context_ != nullptr; }
    // Stops the feeding thread, releases everything and closes the device.
    void free();

    // Opens a file as a stream and starts it at `volume` (not looped); it is
    // decoded in chunks while it plays. Returns the stream handle or 0.
    uint32_t streamPlay(const std::string& path, int volume);
    // Stops the stream and returns its voice. Unknown handles are ignored.
    void streamFree(uint32_t stream);

    // Loads a sample that up to maxPlaybacks channels play at once. flags:
    // kSampleLoop, kSample3D. Returns the sample handle or 0.
    uint32_t sampleLoad(const std::string& path, int maxPlaybacks, uint32_t flags);
    // Starts a channel of the sample at `volume`. 0 with NoChannel when all
    // its playbacks are busy, NoVoice when no voice is free.
    uint32_t samplePlay(uint32_t sample, int volume);

    // Stops a channel and returns its voice; stale handles are ignored.
    void channelStop(uint32_t channel);
    // Moves a 3D channel; other and stale channels are ignored.
    void channelSet3DPosition(uint32_t channel, const AudioVector& position);

    // Places the listener; front and top need not be normalised.
    void setListener(const AudioVector& position, const AudioVector& front, const AudioVector& top);

    AudioError errorGetCode() const { return error_; }

private:
    struct Decoder;
    struct Feed;
    struct Sample;
    struct Channel;

    bool fail(AudioError error);
    uint32_t nextHandle();
    // Takes a voice from the pool (making one if fewer than kMaxVoices
    // exist), or 0. Caller holds mutex_.
    unsigned takeVoice();
    void returnVoice(unsigned voice);
    // Hands back the voices of channels and feeds that have played to their
    // end. Caller holds mutex_.
    void reclaimEnded();
    void endChannel(uint32_t handle);
    void endFeed(uint32_t handle);
    // Starts a fed voice under `handle` (0: a new handle); the feeding thread
    // primes and plays it. Caller holds mutex_.
    uint32_t startFeed(std::unique_ptr<Decoder> decoder, int volume, bool is3D, uint32_t handle);
    void feedLoop();
    void releaseAll();

    void* device_ = nullptr;   // ALCdevice, owned: closed by free()
    void* context_ = nullptr;  // ALCcontext, owned: destroyed by free()
    int maxVolume_ = 1;
    uint32_t lastHandle_ = 0;
    AudioError error_ = AudioError::Ok;

    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    // A feed was started since the feeding thread last looked.
    bool newFeed_ = false;
    std::thread feeder_;

    std::vector<unsigned> freeVoices_;
    int voicesMade_ = 0;
    std::map<uint32_t, std::unique_ptr<Sample>> samples_;
    // Live channels of samples, cached or fed.
    std::map<uint32_t, std::unique_ptr<Channel>> channels_;
    // Streams and fed channels; shared with the feeding thread while it
    // decodes outside the mutex.
    std::map<uint32_t, std::shared_ptr<Feed>> feeds_;
};

}  // namespace vantor
