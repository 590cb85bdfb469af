#include "sound/AudioDevice.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <sndfile.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <fstream>

namespace vantor {

namespace {

// A fed source keeps kFeedBuffers chunks of kChunkFrames frames queued: about
// 1.5 s at 44.1 kHz, far more than the feeding thread's kFeedInterval.
constexpr int kFeedBuffers = 4;
constexpr sf_count_t kChunkFrames = 16384;
constexpr auto kFeedInterval = std::chrono::milliseconds(20);

// Distance (in metres) within which a 3D channel plays at full volume; beyond
// it the volume falls off inversely with distance.
constexpr float kMinDistance = 1.0f;

struct SndFileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};
using SndFilePtr = std::unique_ptr<SNDFILE, SndFileCloser>;

ALenum alFormat(int channels) {
    return channels == 1 ? AL_FORMAT_MONO16 : AL_FORMAT_STEREO16;
}

// The layer's space is left-handed, OpenAL's right-handed: mirror z.
void toAL(const AudioVector& v, ALfloat out[3]) {
    out[0] = v.x;
    out[1] = v.y;
    out[2] = -v.z;
}

// Sets every property a voice may carry from an earlier use.
void configureVoice(ALuint source, bool is3D, bool loop, float gain) {
    alSourcei(source, AL_LOOPING, loop ? AL_TRUE : AL_FALSE);
    if (is3D) {
        alSourcei(source, AL_SOURCE_RELATIVE, AL_FALSE);
        alSourcef(source, AL_REFERENCE_DISTANCE, kMinDistance);
        alSourcef(source, AL_ROLLOFF_FACTOR, 1.0f);
    } else {
        // A 2D voice plays at the listener, in the middle.
        alSourcei(source, AL_SOURCE_RELATIVE, AL_TRUE);
        alSourcef(source, AL_ROLLOFF_FACTOR, 0.0f);
    }
    alSource3f(source, AL_POSITION, 0.0f, 0.0f, 0.0f);
    alSourcef(source, AL_GAIN, gain);
}

}  // namespace

const char* describeAudioError(AudioError error) {
    switch (error) {
        case AudioError::Ok:
            return "no error";
        case AudioError::Init:
            return "no output device";
        case AudioError::Device:
        case AudioError::Driver:
            return "the output device cannot be opened";
        case AudioError::FileOpen:
            return "file missing or unreadable";
        case AudioError::FileFormat:
            return "cannot decode";
        case AudioError::Format:
            return "beyond the sample limits";
        case AudioError::Handle:
            return "unknown handle";
        case AudioError::NoChannel:
            return "all playbacks of the sample are busy";
        case AudioError::IllegalParam:
            return "illegal parameter";
        case AudioError::Memory:
            return "out of memory";
        case AudioError::NoVoice:
            return "no free voice";
    }
    return "unknown error";
}

// A file decoded in chunks to 16-bit PCM with one or two channels: mono kept,
// stereo kept or mixed down, more channels mixed down to mono. After it has
// been handed to a Feed only the feeding thread reads from it.
struct AudioDevice::Decoder {
    SndFilePtr file;
    SF_INFO info{};
    int outChannels = 0;
    bool loop = false;
    std::vector<int16_t> in;

    // Opens `path`; on failure tells a missing or unreadable file from one
    // whose format the decoder does not know.
    static std::unique_ptr<Decoder> open(const std::string& path, bool mono, bool loop,
                                         AudioError& error) {
        auto decoder = std::make_unique<Decoder>();
        decoder->file.reset(sf_open(path.c_str(), SFM_READ, &decoder->info));
        if (!decoder->file) {
            error = std::ifstream(path, std::ios::binary).good() ? AudioError::FileFormat
                                                                 : AudioError::FileOpen;
            return nullptr;
        }
        const SF_INFO& info = decoder->info;
        if (info.channels < 1 || info.samplerate < 1) {
            error = AudioError::FileFormat;
            return nullptr;
        }
        // Short float files are scaled to the full 16-bit range instead of
        // clipping. Finding the scale reads the whole file, so long ones
        // (streamed) are not.
        const int subtype = info.format & SF_FORMAT_SUBMASK;
        if ((subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE) &&
            info.frames * info.channels <= kCachedPcmValues) {
            sf_command(decoder->file.get(), SFC_SET_SCALE_FLOAT_INT_READ, nullptr, SF_TRUE);
        }
        decoder->outChannels = (mono || info.channels > 2) ? 1 : info.channels;
        decoder->loop = loop;
        return decoder;
    }

    // How many decoded values a sample of this file may have to be kept
    // whole: decoding compressed formats costs far more per value.
    int64_t cachedValues() const {
        switch (info.format & SF_FORMAT_SUBMASK) {
            case SF_FORMAT_PCM_S8:
            case SF_FORMAT_PCM_U8:
            case SF_FORMAT_PCM_16:
            case SF_FORMAT_PCM_24:
            case SF_FORMAT_PCM_32:
            case SF_FORMAT_FLOAT:
            case SF_FORMAT_DOUBLE:
            case SF_FORMAT_ULAW:
            case SF_FORMAT_ALAW:
                return kCachedPcmValues;
            default:
                return kCachedCompressedValues;
        }
    }

    // Decodes up to `frames` frames into `out`, starting over at the end of
    // a looping file. Returns the frames decoded (0 at the end).
    sf_count_t read(std::vector<int16_t>& out, sf_count_t frames = kChunkFrames) {
        sf_count_t got = readOnce(out, frames);
        if (got <= 0 && loop && sf_seek(file.get(), 0, SEEK_SET) == 0) {
            got = readOnce(out, frames);
        }
        return got;
    }

private:
    sf_count_t readOnce(std::vector<int16_t>& out, sf_count_t frames) {
        const int inChannels = info.channels;
        in.resize(static_cast<size_t>(frames * inChannels));
        const sf_count_t got =
            std::max<sf_count_t>(sf_readf_short(file.get(), in.data(), frames), 0);
        out.resize(static_cast<size_t>(got * outChannels));
        if (inChannels == outChannels) {
            std::copy_n(in.begin(), out.size(), out.begin());
            return got;
        }
        // Only mixing down to mono remains.
        for (sf_count_t f = 0; f < got; ++f) {
            long sum = 0;
            for (int c = 0; c < inChannels; ++c) {
                sum += in[static_cast<size_t>(f * inChannels + c)];
            }
            out[static_cast<size_t>(f)] = static_cast<int16_t>(sum / inChannels);
        }
        return got;
    }
};

// A voice fed chunk by chunk from a decoder by the feeding thread: a music
// stream, or one playback of a long sample.
struct AudioDevice::Feed {
    std::unique_ptr<Decoder> decoder;
    ALuint source = 0;
    std::array<ALuint, kFeedBuffers> buffers{};
    // Buffers not in the source's queue, free to fill.
    std::vector<ALuint> idle;
    // False once stopped: its buffers are gone and it must not be touched.
    bool alive = true;
    // The decoder has nothing more to give.
    bool drained = false;
};

struct AudioDevice::Sample {
    std::string path;
    uint32_t flags = 0;
    int maxPlaybacks = 0;
    // Channels playing it now (counted under the mutex).
    int playing = 0;
    // The whole sound, for samples short enough to keep; 0 for samples fed
    // from their file at every play.
    ALuint buffer = 0;
};

struct AudioDevice::Channel {
    Sample* sample = nullptr;  // not owned; samples live until free()
    ALuint voice = 0;
    bool fed = false;  // its voice belongs to the Feed of the same handle
};

AudioDevice::AudioDevice() = default;

AudioDevice::~AudioDevice() {
    free();
}

bool AudioDevice::fail(AudioError error) {
    error_ = error;
    return false;
}

uint32_t AudioDevice::nextHandle() {
    if (++lastHandle_ == 0) {
        ++lastHandle_;
    }
    return lastHandle_;
}

bool AudioDevice::init(int frequency, int maxVolume) {
    if (isInitialised() || frequency <= 0 || maxVolume < 1) {
        return fail(AudioError::IllegalParam);
    }
    ALCdevice* dev = alcOpenDevice(nullptr);
    if (!dev) {
        return fail(AudioError::Device);
    }
    const ALCint attributes[] = {ALC_FREQUENCY, frequency, 0};
    ALCcontext* ctx = alcCreateContext(dev, attributes);
    if (!ctx || alcMakeContextCurrent(ctx) == ALC_FALSE) {
        if (ctx) {
            alcDestroyContext(ctx);
        }
        alcCloseDevice(dev);
        return fail(AudioError::Driver);
    }
    device_ = dev;
    context_ = ctx;
    maxVolume_ = maxVolume;
    alDistanceModel(AL_INVERSE_DISTANCE_CLAMPED);
    alGetError();
    stopping_ = false;
    feeder_ = std::thread([this] { feedLoop(); });
    error_ = AudioError::Ok;
    return true;
}

void AudioDevice::free() {
    if (!isInitialised()) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    feeder_.join();
    releaseAll();
    alcMakeContextCurrent(nullptr);
    alcDestroyContext(static_cast<ALCcontext*>(context_));
    alcCloseDevice(static_cast<ALCdevice*>(device_));
    context_ = nullptr;
    device_ = nullptr;
}

void AudioDevice::releaseAll() {
    while (!feeds_.empty()) {
        endFeed(feeds_.begin()->first);
    }
    while (!channels_.empty()) {
        endChannel(channels_.begin()->first);
    }
    for (auto& [handle, sample] : samples_) {
        if (sample->buffer) {
            alDeleteBuffers(1, &sample->buffer);
        }
    }
    samples_.clear();
    for (ALuint voice : freeVoices_) {
        alDeleteSources(1, &voice);
    }
    freeVoices_.clear();
    voicesMade_ = 0;
}

unsigned AudioDevice::takeVoice() {
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!freeVoices_.empty()) {
            const ALuint voice = freeVoices_.back();
            freeVoices_.pop_back();
            return voice;
        }
        if (voicesMade_ < kMaxVoices) {
            ALuint voice = 0;
            alGetError();
            alGenSources(1, &voice);
            if (alGetError() == AL_NO_ERROR) {
                ++voicesMade_;
                return voice;
            }
            voicesMade_ = kMaxVoices;  // the device gives no more
        }
        reclaimEnded();
    }
    return 0;
}

void AudioDevice::returnVoice(unsigned voice) {
    alSourceStop(voice);
    alSourcei(voice, AL_BUFFER, 0);
    freeVoices_.push_back(voice);
}

void AudioDevice::endFeed(uint32_t handle) {
    auto it = feeds_.find(handle);
    if (it == feeds_.end()) {
        return;
    }
    Feed& feed = *it->second;
    feed.alive = false;
    returnVoice(feed.source);  // detaches the queued buffers first
    alDeleteBuffers(kFeedBuffers, feed.buffers.data());
    feeds_.erase(it);
}

void AudioDevice::endChannel(uint32_t handle) {
    auto it = channels_.find(handle);
    if (it == channels_.end()) {
        return;
    }
    if (it->second->fed) {
        endFeed(handle);
    } else {
        returnVoice(it->second->voice);
    }
    --it->second->sample->playing;
    channels_.erase(it);
}

void AudioDevice::reclaimEnded() {
    std::vector<uint32_t> ended;
    for (const auto& [handle, channel] : channels_) {
        ALint state = 0;
        alGetSourcei(channel->voice, AL_SOURCE_STATE, &state);
        // A fed channel may not have started yet, or may be waiting for its
        // next chunk; it has ended only when its decoder has.
        const bool over =
            channel->fed ? feeds_.at(handle)->drained && state != AL_PLAYING : state == AL_STOPPED;
        if (over) {
            ended.push_back(handle);
        }
    }
    for (const auto& [handle, feed] : feeds_) {
        ALint state = 0;
        alGetSourcei(feed->source, AL_SOURCE_STATE, &state);
        if (feed->drained && state != AL_PLAYING && !channels_.count(handle)) {
            ended.push_back(handle);
        }
    }
    for (const uint32_t handle : ended) {
        endChannel(handle);
        endFeed(handle);
    }
}

uint32_t AudioDevice::startFeed(std::unique_ptr<Decoder> decoder, int volume, bool is3D,
                                uint32_t handle) {
    const ALuint voice = takeVoice();
    if (!voice) {
        return fail(AudioError::NoVoice);
    }
    auto feed = std::make_shared<Feed>();
    alGetError();
    alGenBuffers(kFeedBuffers, feed->buffers.data());
    if (alGetError() != AL_NO_ERROR) {
        returnVoice(voice);
        return fail(AudioError::Memory);
    }
    const float gain = static_cast<float>(std::clamp(volume, 0, maxVolume_)) / maxVolume_;
    configureVoice(voice, is3D, false, gain);
    feed->decoder = std::move(decoder);
    feed->source = voice;
    feed->idle.assign(feed->buffers.begin(), feed->buffers.end());
    if (!handle) {
        handle = nextHandle();
    }
    feeds_[handle] = std::move(feed);
    newFeed_ = true;
    wake_.notify_one();
    error_ = AudioError::Ok;
    return handle;
}

uint32_t AudioDevice::streamPlay(const std::string& path, int volume) {
    if (!isInitialised()) {
        return fail(AudioError::Init);
    }
    AudioError error = AudioError::Ok;
    std::unique_ptr<Decoder> decoder = Decoder::open(path, false, false, error);
    if (!decoder) {
        return fail(error);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    return startFeed(std::move(decoder), volume, false, 0);
}

void AudioDevice::streamFree(uint32_t stream) {
    if (!isInitialised()) {
        return;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (!channels_.count(stream)) {
        endFeed(stream);
    }
}

uint32_t AudioDevice::sampleLoad(const std::string& path, int maxPlaybacks, uint32_t flags) {
    if (!isInitialised()) {
        return fail(AudioError::Init);
    }
    if (maxPlaybacks < 1) {
        return fail(AudioError::IllegalParam);
    }
    AudioError error = AudioError::Ok;
    // OpenAL spatialises only mono sound.
    std::unique_ptr<Decoder> decoder = Decoder::open(path, (flags & kSample3D) != 0, false, error);
    if (!decoder) {
        return fail(error);
    }
    const SF_INFO& info = decoder->info;
    if (info.channels > kMaxSampleChannels || info.samplerate > kMaxSampleRate ||
        info.frames / info.samplerate > kMaxSampleSeconds) {
        return fail(AudioError::Format);
    }
    auto sample = std::make_unique<Sample>();
    sample->path = path;
    sample->flags = flags;
    sample->maxPlaybacks = maxPlaybacks;
    const int64_t cached = decoder->cachedValues();
    if (info.frames * decoder->outChannels <= cached) {
        // Short enough to decode here at once and keep.
        std::vector<int16_t> pcm;
        std::vector<int16_t> chunk;
        const sf_count_t most = cached / decoder->outChannels;
        for (sf_count_t frames = 0; frames < most;) {
            const sf_count_t got = decoder->read(chunk, std::min(kChunkFrames, most - frames));
            if (got <= 0) {
                break;
            }
            frames += got;
            pcm.insert(pcm.end(), chunk.begin(), chunk.end());
        }
        if (pcm.empty()) {
            return fail(AudioError::FileFormat);
        }
        std::lock_guard<std::mutex> lock(mutex_);
        alGetError();
        alGenBuffers(1, &sample->buffer);
        alBufferData(sample->buffer, alFormat(decoder->outChannels), pcm.data(),
                     static_cast<ALsizei>(pcm.size() * sizeof(int16_t)), info.samplerate);
        if (alGetError() != AL_NO_ERROR) {
            alDeleteBuffers(1, &sample->buffer);
            return fail(AudioError::Memory);
        }
    }
    const uint32_t handle = nextHandle();
    std::lock_guard<std::mutex> lock(mutex_);
    samples_[handle] = std::move(sample);
    error_ = AudioError::Ok;
    return handle;
}

uint32_t AudioDevice::samplePlay(uint32_t sampleHandle, int volume) {
    if (!isInitialised()) {
        return fail(AudioError::Init);
    }
    // The map changes only on this thread, so it is read without the mutex.
    auto it = samples_.find(sampleHandle);
    if (it == samples_.end()) {
        return fail(AudioError::Handle);
    }
    Sample& sample = *it->second;
    const bool is3D = (sample.flags & kSample3D) != 0;
    const bool loop = (sample.flags & kSampleLoop) != 0;
    std::unique_ptr<Decoder> decoder;
    if (!sample.buffer) {
        // A long sample: each playback reads the file on its own.
        AudioError error = AudioError::Ok;
        decoder = Decoder::open(sample.path, is3D, loop, error);
        if (!decoder) {
            return fail(error);
        }
    }

    std::lock_guard<std::mutex> lock(mutex_);
    if (sample.playing >= sample.maxPlaybacks) {
        reclaimEnded();
        if (sample.playing >= sample.maxPlaybacks) {
            return fail(AudioError::NoChannel);
        }
    }
    auto channel = std::make_unique<Channel>();
    channel->sample = &sample;
    uint32_t handle = 0;
    if (decoder) {
        handle = nextHandle();
        if (!startFeed(std::move(decoder), volume, is3D, handle)) {
            return 0;
        }
        channel->fed = true;
        channel->voice = feeds_.at(handle)->source;
    } else {
        channel->voice = takeVoice();
        if (!channel->voice) {
            return fail(AudioError::NoVoice);
        }
        handle = nextHandle();
        const float gain = static_cast<float>(std::clamp(volume, 0, maxVolume_)) / maxVolume_;
        configureVoice(channel->voice, is3D, loop, gain);
        alSourcei(channel->voice, AL_BUFFER, static_cast<ALint>(sample.buffer));
        alSourcePlay(channel->voice);
    }
    ++sample.playing;
    channels_[handle] = std::move(channel);
    error_ = AudioError::Ok;
    return handle;
}

void AudioDevice::channelStop(uint32_t channel) {
    if (!isInitialised()) {
        return;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    endChannel(channel);
}

void AudioDevice::channelSet3DPosition(uint32_t handle, const AudioVector& position) {
    if (!isInitialised()) {
        return;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = channels_.find(handle);
    if (it != channels_.end() && (it->second->sample->flags & kSample3D)) {
        ALfloat p[3];
        toAL(position, p);
        alSourcefv(it->second->voice, AL_POSITION, p);
    }
}

void AudioDevice::setListener(const AudioVector& position, const AudioVector& front,
                              const AudioVector& top) {
    if (!isInitialised()) {
        return;
    }
    ALfloat p[3];
    ALfloat orientation[6];
    toAL(position, p);
    toAL(front, orientation);
    toAL(top, orientation + 3);
    std::lock_guard<std::mutex> lock(mutex_);
    alListenerfv(AL_POSITION, p);
    alListenerfv(AL_ORIENTATION, orientation);
}

// The feeding thread: every kFeedInterval (or when woken for a new feed) it
// takes back the buffers its sources have played, decodes the next chunks
// into them outside the mutex, queues them, and (re)starts sources that ran
// dry or have not started yet. It also hands back the voices of channels and
// feeds that have ended.
void AudioDevice::feedLoop() {
    struct Work {
        std::shared_ptr<Feed> feed;
        std::vector<ALuint> buffers;
        std::vector<std::vector<int16_t>> chunks;
        bool drained = false;
    };
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        std::vector<Work> work;
        for (auto& [handle, feed] : feeds_) {
            ALint processed = 0;
            alGetSourcei(feed->source, AL_BUFFERS_PROCESSED, &processed);
            for (; processed > 0; --processed) {
                ALuint buffer = 0;
                alSourceUnqueueBuffers(feed->source, 1, &buffer);
                feed->idle.push_back(buffer);
            }
            if (!feed->drained && !feed->idle.empty()) {
                work.push_back(Work{feed, std::move(feed->idle), {}, false});
                feed->idle.clear();
            }
        }
        reclaimEnded();

        lock.unlock();
        for (Work& w : work) {
            for (size_t i = 0; i < w.buffers.size() && !w.drained; ++i) {
                std::vector<int16_t> chunk;
                if (w.feed->decoder->read(chunk) > 0) {
                    w.chunks.push_back(std::move(chunk));
                } else {
                    w.drained = true;
                }
            }
        }
        lock.lock();

        for (Work& w : work) {
            Feed& feed = *w.feed;
            if (!feed.alive) {
                continue;  // stopped meanwhile; its buffers are gone
            }
            const Decoder& decoder = *feed.decoder;
            size_t used = 0;
            for (; used < w.chunks.size(); ++used) {
                const std::vector<int16_t>& chunk = w.chunks[used];
                alBufferData(w.buffers[used], alFormat(decoder.outChannels), chunk.data(),
                             static_cast<ALsizei>(chunk.size() * sizeof(int16_t)),
                             decoder.info.samplerate);
                alSourceQueueBuffers(feed.source, 1, &w.buffers[used]);
            }
            feed.idle.insert(feed.idle.end(), w.buffers.begin() + static_cast<long>(used),
                             w.buffers.end());
            feed.drained = w.drained;
            ALint state = 0;
            ALint queued = 0;
            alGetSourcei(feed.source, AL_SOURCE_STATE, &state);
            alGetSourcei(feed.source, AL_BUFFERS_QUEUED, &queued);
            if (state != AL_PLAYING && queued > 0) {
                alSourcePlay(feed.source);
            }
        }
        work.clear();
        wake_.wait_for(lock, kFeedInterval, [this] { return stopping_ || newFeed_; });
        newFeed_ = false;
    }
}

}  // namespace vantor
