#include "sound/AudioDevice.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <sndfile.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <vector>

namespace vantor {

namespace {

// Stream buffering: kStreamBuffers buffers of kStreamChunkFrames frames each,
// about 1.5 s at 44.1 kHz, so a frame loop that stalls for a second does not
// run the music dry before the next update refills it.
constexpr int kStreamBuffers = 4;
constexpr sf_count_t kStreamChunkFrames = 16384;

// Distance (in metres) within which a 3D channel plays at full volume; beyond
// it the volume falls off inversely with distance.
constexpr float kMinDistance = 1.0f;

// Closes a libsndfile handle when it goes out of scope.
struct SndFileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};
using SndFilePtr = std::unique_ptr<SNDFILE, SndFileCloser>;

// Opens a file for decoding; on failure tells a missing or unreadable file
// from one whose format the decoder does not know.
SndFilePtr openSound(const std::string& path, SF_INFO& info, AudioError& error) {
    info = SF_INFO{};
    SndFilePtr file(sf_open(path.c_str(), SFM_READ, &info));
    if (!file) {
        error = std::ifstream(path, std::ios::binary).good() ? AudioError::FileFormat
                                                             : AudioError::FileOpen;
        return nullptr;
    }
    if (info.channels < 1 || info.samplerate < 1) {
        error = AudioError::Format;
        return nullptr;
    }
    // Float files are scaled to the full 16-bit range instead of clipping.
    sf_command(file.get(), SFC_SET_SCALE_FLOAT_INT_READ, nullptr, SF_TRUE);
    return file;
}

// Reads up to `frames` frames as 16-bit PCM into `out` with `outChannels`
// channels (1 or 2): mono sources are kept, stereo kept or mixed down, more
// channels mixed down to mono. Returns the frames read.
sf_count_t readFrames(SNDFILE* file, int inChannels, int outChannels, sf_count_t frames,
                      std::vector<int16_t>& in, std::vector<int16_t>& out) {
    in.resize(static_cast<size_t>(frames * inChannels));
    const sf_count_t got = sf_readf_short(file, in.data(), frames);
    out.resize(static_cast<size_t>(std::max<sf_count_t>(got, 0) * outChannels));
    if (got <= 0) {
        return 0;
    }
    if (inChannels == outChannels) {
        std::copy_n(in.begin(), out.size(), out.begin());
        return got;
    }
    for (sf_count_t f = 0; f < got; ++f) {
        long sum = 0;
        for (int c = 0; c < inChannels; ++c) {
            sum += in[static_cast<size_t>(f * inChannels + c)];
        }
        out[static_cast<size_t>(f)] = static_cast<int16_t>(sum / inChannels);
    }
    return got;
}

int outputChannels(int inChannels, bool forceMono) {
    return (forceMono || inChannels > 2) ? 1 : inChannels;
}

ALenum alFormat(int channels) {
    return channels == 1 ? AL_FORMAT_MONO16 : AL_FORMAT_STEREO16;
}

// The layer's space is left-handed, OpenAL's right-handed: mirror z.
void toAL(const AudioVector& v, float scale, ALfloat out[3]) {
    out[0] = v.x * scale;
    out[1] = v.y * scale;
    out[2] = -v.z * scale;
}

// A 2D source plays at the listener, panned by a position on the unit circle
// in front of it (pan -100 left .. 100 right).
void placePanned(ALuint source, int pan) {
    const float p = std::clamp(pan, -100, 100) / 100.0f;
    alSource3f(source, AL_POSITION, p, 0.0f, -std::sqrt(1.0f - p * p));
}

void configureSource(ALuint source, bool is3D, bool loop, float rolloff) {
    alSourcei(source, AL_LOOPING, loop ? AL_TRUE : AL_FALSE);
    if (is3D) {
        alSourcei(source, AL_SOURCE_RELATIVE, AL_FALSE);
        alSourcef(source, AL_REFERENCE_DISTANCE, kMinDistance);
        alSourcef(source, AL_ROLLOFF_FACTOR, rolloff);
        alSource3f(source, AL_POSITION, 0.0f, 0.0f, 0.0f);
    } else {
        alSourcei(source, AL_SOURCE_RELATIVE, AL_TRUE);
        alSourcef(source, AL_ROLLOFF_FACTOR, 0.0f);
        placePanned(source, 0);
    }
    alSourcef(source, AL_GAIN, 1.0f);
}

// One playback slot of a sample: its OpenAL source (made on first use) and the
// handle of the channel that holds it now.
struct PlaybackSlot {
    ALuint source = 0;
    uint32_t handle = 0;
    // Handed out but not yet played: busy although OpenAL says it is idle.
    bool pending = false;
    int volume = 0;
    int pan = 0;
    AudioVector position;
    bool positionDirty = false;
};

}  // namespace

struct AudioDevice::Sample {
    ALuint buffer = 0;
    uint32_t flags = 0;
    std::vector<PlaybackSlot> slots;
};

struct AudioDevice::Channel {
    Sample* sample = nullptr;  // not owned; lives in samples_
    size_t slot = 0;
};

struct AudioDevice::Stream {
    ALuint source = 0;
    std::array<ALuint, kStreamBuffers> buffers{};
    SndFilePtr file;
    int inChannels = 0;
    int outChannels = 0;
    int rate = 0;
    bool loop = false;
    // Asked to play (and not stopped since): an underrun restarts the source.
    bool playing = false;
    bool ended = false;
    int volume = 0;
    int pan = 0;
    std::vector<int16_t> decoded;
    std::vector<int16_t> mixed;
};

AudioDevice::AudioDevice() = default;

AudioDevice::~AudioDevice() {
    free();
}

bool AudioDevice::fail(AudioError error) const {
    error_ = error;
    return false;
}

bool AudioDevice::succeed() const {
    error_ = AudioError::Ok;
    return true;
}

bool AudioDevice::ready() const {
    return isInitialised() || fail(AudioError::Init);
}

uint32_t AudioDevice::nextHandle() {
    if (++lastHandle_ == 0) {
        ++lastHandle_;
    }
    return lastHandle_;
}

bool AudioDevice::init(int device, int frequency, uint32_t flags) {
    if (isInitialised()) {
        return fail(AudioError::Already);
    }
    if (frequency <= 0) {
        return fail(AudioError::IllegalParam);
    }
    std::string name;
    if (device > 1) {
        // A list of names separated by NULs and ended by an empty name.
        const ALCchar* list = alcIsExtensionPresent(nullptr, "ALC_ENUMERATE_ALL_EXT")
                                  ? alcGetString(nullptr, ALC_ALL_DEVICES_SPECIFIER)
                                  : alcGetString(nullptr, ALC_DEVICE_SPECIFIER);
        for (int index = 1; list && *list; ++index) {
            if (index == device) {
                name = list;
                break;
            }
            list += std::char_traits<char>::length(list) + 1;
        }
        if (name.empty()) {
            return fail(AudioError::Device);
        }
    }
    ALCdevice* dev = alcOpenDevice(name.empty() ? nullptr : name.c_str());
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
    flags_ = flags;
    maxVolume_ = kDefaultMaxVolume;
    samplesLoaded_ = 0;
    alDistanceModel(AL_INVERSE_DISTANCE_CLAMPED);
    alGetError();
    return succeed();
}

void AudioDevice::releaseAll() {
    for (auto& [handle, stream] : streams_) {
        alSourceStop(stream->source);
        alSourcei(stream->source, AL_BUFFER, 0);
        alDeleteSources(1, &stream->source);
        alDeleteBuffers(kStreamBuffers, stream->buffers.data());
    }
    streams_.clear();
    channels_.clear();
    for (auto& [handle, sample] : samples_) {
        for (PlaybackSlot& slot : sample->slots) {
            if (slot.source) {
                alSourceStop(slot.source);
                alSourcei(slot.source, AL_BUFFER, 0);
                alDeleteSources(1, &slot.source);
            }
        }
        alDeleteBuffers(1, &sample->buffer);
    }
    samples_.clear();
}

void AudioDevice::free() {
    if (!isInitialised()) {
        return;
    }
    releaseAll();
    alcMakeContextCurrent(nullptr);
    alcDestroyContext(static_cast<ALCcontext*>(context_));
    alcCloseDevice(static_cast<ALCdevice*>(device_));
    context_ = nullptr;
    device_ = nullptr;
    succeed();
}

bool AudioDevice::set3DFactors(float distance, float rolloff, float doppler) {
    if (!ready()) {
        return false;
    }
    if (!(distance > 0.0f) || !(rolloff >= 0.0f) || !(doppler >= 0.0f)) {
        return fail(AudioError::IllegalParam);
    }
    distanceFactor_ = distance;
    rolloffFactor_ = rolloff;
    alDopplerFactor(doppler);
    for (auto& [handle, sample] : samples_) {
        if (sample->flags & kSample3D) {
            for (PlaybackSlot& slot : sample->slots) {
                if (slot.source) {
                    alSourcef(slot.source, AL_ROLLOFF_FACTOR, rolloff);
                }
            }
        }
    }
    return succeed();
}

bool AudioDevice::setMaxVolume(int maxVolume) {
    if (!ready()) {
        return false;
    }
    if (maxVolume < 1) {
        return fail(AudioError::IllegalParam);
    }
    maxVolume_ = maxVolume;
    return succeed();
}

uint32_t AudioDevice::streamCreateFile(const std::string& path, uint32_t flags) {
    if (!ready()) {
        return 0;
    }
    if (flags & kSample3D) {
        return fail(AudioError::IllegalParam);
    }
    SF_INFO info;
    AudioError error = AudioError::Ok;
    SndFilePtr file = openSound(path, info, error);
    if (!file) {
        return fail(error);
    }
    auto stream = std::make_unique<Stream>();
    stream->file = std::move(file);
    stream->inChannels = info.channels;
    stream->outChannels = outputChannels(info.channels, false);
    stream->rate = info.samplerate;
    stream->loop = (flags & kSampleLoop) != 0;
    stream->volume = maxVolume_;
    alGetError();
    alGenSources(1, &stream->source);
    if (alGetError() != AL_NO_ERROR) {
        return fail(AudioError::NoChannel);
    }
    alGenBuffers(kStreamBuffers, stream->buffers.data());
    if (alGetError() != AL_NO_ERROR) {
        alDeleteSources(1, &stream->source);
        return fail(AudioError::Memory);
    }
    configureSource(stream->source, false, false, 0.0f);
    // Prime every buffer so playback can start at once.
    for (ALuint buffer : stream->buffers) {
        if (!queueChunk(*stream, buffer)) {
            break;
        }
    }
    const uint32_t handle = nextHandle();
    streams_[handle] = std::move(stream);
    succeed();
    return handle;
}

bool AudioDevice::streamFree(uint32_t stream) {
    if (!ready()) {
        return false;
    }
    auto it = streams_.find(stream);
    if (it == streams_.end()) {
        return fail(AudioError::Handle);
    }
    Stream& s = *it->second;
    alSourceStop(s.source);
    alSourcei(s.source, AL_BUFFER, 0);
    alDeleteSources(1, &s.source);
    alDeleteBuffers(kStreamBuffers, s.buffers.data());
    streams_.erase(it);
    return succeed();
}

// Decodes the stream's next chunk into `buffer` and queues it, wrapping to the
// start of the file when looping. Returns false (and marks the stream ended)
// when there is nothing left to decode.
bool AudioDevice::queueChunk(Stream& stream, unsigned buffer) {
    sf_count_t got = readFrames(stream.file.get(), stream.inChannels, stream.outChannels,
                                kStreamChunkFrames, stream.decoded, stream.mixed);
    if (got <= 0 && stream.loop && sf_seek(stream.file.get(), 0, SEEK_SET) == 0) {
        got = readFrames(stream.file.get(), stream.inChannels, stream.outChannels,
                         kStreamChunkFrames, stream.decoded, stream.mixed);
    }
    if (got <= 0) {
        stream.ended = true;
        return false;
    }
    alBufferData(buffer, alFormat(stream.outChannels), stream.mixed.data(),
                 static_cast<ALsizei>(stream.mixed.size() * sizeof(int16_t)), stream.rate);
    alSourceQueueBuffers(stream.source, 1, &buffer);
    return true;
}

// Puts the buffers that the source has finished with back in the queue with
// the next chunks of the file.
void AudioDevice::refill(Stream& stream) {
    ALint processed = 0;
    alGetSourcei(stream.source, AL_BUFFERS_PROCESSED, &processed);
    while (processed-- > 0) {
        ALuint buffer = 0;
        alSourceUnqueueBuffers(stream.source, 1, &buffer);
        if (!stream.ended) {
            queueChunk(stream, buffer);
        }
    }
}

void AudioDevice::update() {
    if (!isInitialised()) {
        return;
    }
    for (auto& [handle, stream] : streams_) {
        if (!stream->playing) {
            continue;
        }
        refill(*stream);
        ALint state = 0;
        ALint queued = 0;
        alGetSourcei(stream->source, AL_SOURCE_STATE, &state);
        alGetSourcei(stream->source, AL_BUFFERS_QUEUED, &queued);
        if (state != AL_PLAYING && queued > 0) {
            // Underrun: the frame loop was slower than the queued sound.
            alSourcePlay(stream->source);
        } else if (state != AL_PLAYING && stream->ended) {
            stream->playing = false;
        }
    }
}

uint32_t AudioDevice::sampleLoad(const std::string& path, int maxPlaybacks, uint32_t flags) {
    if (!ready()) {
        return 0;
    }
    if (maxPlaybacks < 1) {
        return fail(AudioError::IllegalParam);
    }
    const bool is3D = (flags & kSample3D) != 0;
    if (is3D && !(flags_ & kDevice3D)) {
        return fail(AudioError::No3D);
    }
    SF_INFO info;
    AudioError error = AudioError::Ok;
    SndFilePtr file = openSound(path, info, error);
    if (!file) {
        return fail(error);
    }
    // OpenAL spatialises only mono buffers.
    const int channels = outputChannels(info.channels, is3D || (flags & kSampleMono));
    std::vector<int16_t> pcm;
    std::vector<int16_t> decoded;
    std::vector<int16_t> mixed;
    for (;;) {
        const sf_count_t got =
            readFrames(file.get(), info.channels, channels, kStreamChunkFrames, decoded, mixed);
        if (got <= 0) {
            break;
        }
        pcm.insert(pcm.end(), mixed.begin(), mixed.end());
    }
    if (pcm.empty()) {
        return fail(AudioError::FileFormat);
    }
    auto sample = std::make_unique<Sample>();
    alGetError();
    alGenBuffers(1, &sample->buffer);
    alBufferData(sample->buffer, alFormat(channels), pcm.data(),
                 static_cast<ALsizei>(pcm.size() * sizeof(int16_t)), info.samplerate);
    if (alGetError() != AL_NO_ERROR) {
        alDeleteBuffers(1, &sample->buffer);
        return fail(AudioError::Memory);
    }
    sample->flags = flags | (is3D ? kSampleMono : 0);
    sample->slots.resize(static_cast<size_t>(maxPlaybacks));
    const uint32_t handle = nextHandle();
    samples_[handle] = std::move(sample);
    ++samplesLoaded_;
    succeed();
    return handle;
}

uint32_t AudioDevice::sampleGetChannel(uint32_t sampleHandle) {
    if (!ready()) {
        return 0;
    }
    auto it = samples_.find(sampleHandle);
    if (it == samples_.end()) {
        return fail(AudioError::Handle);
    }
    Sample& sample = *it->second;
    for (size_t i = 0; i < sample.slots.size(); ++i) {
        PlaybackSlot& slot = sample.slots[i];
        if (slot.source) {
            ALint state = 0;
            alGetSourcei(slot.source, AL_SOURCE_STATE, &state);
            if (slot.pending || state == AL_PLAYING || state == AL_PAUSED) {
                continue;
            }
        } else {
            alGetError();
            alGenSources(1, &slot.source);
            if (alGetError() != AL_NO_ERROR) {
                slot.source = 0;
                return fail(AudioError::NoChannel);
            }
            alSourcei(slot.source, AL_BUFFER, static_cast<ALint>(sample.buffer));
        }
        const bool is3D = (sample.flags & kSample3D) != 0;
        alSourceRewind(slot.source);
        configureSource(slot.source, is3D, (sample.flags & kSampleLoop) != 0, rolloffFactor_);
        if (slot.handle) {
            channels_.erase(slot.handle);  // the previous holder goes stale
        }
        slot.handle = nextHandle();
        slot.pending = true;
        slot.volume = maxVolume_;
        slot.pan = 0;
        slot.position = AudioVector{};
        slot.positionDirty = false;
        channels_[slot.handle] = std::make_unique<Channel>(Channel{&sample, i});
        succeed();
        return slot.handle;
    }
    return fail(AudioError::NoChannel);
}

const AudioDevice::Channel* AudioDevice::findChannel(uint32_t handle) const {
    auto it = channels_.find(handle);
    return it == channels_.end() ? nullptr : it->second.get();
}

unsigned AudioDevice::sourceOf(uint32_t handle) const {
    if (const Channel* channel = findChannel(handle)) {
        return channel->sample->slots[channel->slot].source;
    }
    auto it = streams_.find(handle);
    return it == streams_.end() ? 0 : it->second->source;
}

bool AudioDevice::channelPlay(uint32_t handle) {
    if (!ready()) {
        return false;
    }
    if (const Channel* channel = findChannel(handle)) {
        PlaybackSlot& slot = channel->sample->slots[channel->slot];
        slot.pending = false;
        alSourcePlay(slot.source);
        return succeed();
    }
    auto it = streams_.find(handle);
    if (it == streams_.end()) {
        return fail(AudioError::Handle);
    }
    Stream& stream = *it->second;
    if (stream.ended) {
        ALint queued = 0;
        alGetSourcei(stream.source, AL_BUFFERS_QUEUED, &queued);
        if (queued == 0) {
            return fail(AudioError::NoChannel);  // played to its end
        }
    }
    stream.playing = true;
    alSourcePlay(stream.source);
    return succeed();
}

bool AudioDevice::channelStop(uint32_t handle) {
    if (!ready()) {
        return false;
    }
    if (const Channel* channel = findChannel(handle)) {
        PlaybackSlot& slot = channel->sample->slots[channel->slot];
        slot.pending = false;
        alSourceStop(slot.source);
        return succeed();
    }
    auto it = streams_.find(handle);
    if (it == streams_.end()) {
        return fail(AudioError::Handle);
    }
    it->second->playing = false;
    alSourcePause(it->second->source);
    return succeed();
}

bool AudioDevice::channelIsPlaying(uint32_t handle) {
    if (!ready()) {
        return false;
    }
    const ALuint source = sourceOf(handle);
    if (!source) {
        return fail(AudioError::Handle);
    }
    ALint state = 0;
    alGetSourcei(source, AL_SOURCE_STATE, &state);
    succeed();
    return state == AL_PLAYING;
}

bool AudioDevice::channelSetAttributes(uint32_t handle, int volume, int pan) {
    if (!ready()) {
        return false;
    }
    const ALuint source = sourceOf(handle);
    if (!source) {
        return fail(AudioError::Handle);
    }
    volume = std::clamp(volume, 0, maxVolume_);
    pan = std::clamp(pan, -100, 100);
    bool is3D = false;
    if (const Channel* channel = findChannel(handle)) {
        PlaybackSlot& slot = channel->sample->slots[channel->slot];
        slot.volume = volume;
        slot.pan = pan;
        is3D = (channel->sample->flags & kSample3D) != 0;
    } else {
        Stream& stream = *streams_.at(handle);
        stream.volume = volume;
        stream.pan = pan;
    }
    alSourcef(source, AL_GAIN, static_cast<float>(volume) / static_cast<float>(maxVolume_));
    if (!is3D) {
        placePanned(source, pan);
    }
    return succeed();
}

bool AudioDevice::channelGetAttributes(uint32_t handle, int* volume, int* pan) const {
    if (!ready()) {
        return false;
    }
    int v = 0;
    int p = 0;
    if (const Channel* channel = findChannel(handle)) {
        const PlaybackSlot& slot = channel->sample->slots[channel->slot];
        v = slot.volume;
        p = slot.pan;
    } else if (auto it = streams_.find(handle); it != streams_.end()) {
        v = it->second->volume;
        p = it->second->pan;
    } else {
        return fail(AudioError::Handle);
    }
    if (volume) {
        *volume = v;
    }
    if (pan) {
        *pan = p;
    }
    return succeed();
}

bool AudioDevice::channelSet3DPosition(uint32_t handle, const AudioVector& position) {
    if (!ready()) {
        return false;
    }
    const Channel* channel = findChannel(handle);
    if (!channel) {
        return fail(AudioError::Handle);
    }
    if (!(channel->sample->flags & kSample3D)) {
        return fail(AudioError::No3D);
    }
    PlaybackSlot& slot = channel->sample->slots[channel->slot];
    slot.position = position;
    slot.positionDirty = true;
    return succeed();
}

bool AudioDevice::channelIsLooping(uint32_t handle) const {
    if (!ready()) {
        return false;
    }
    if (const Channel* channel = findChannel(handle)) {
        succeed();
        return (channel->sample->flags & kSampleLoop) != 0;
    }
    if (auto it = streams_.find(handle); it != streams_.end()) {
        succeed();
        return it->second->loop;
    }
    return fail(AudioError::Handle);
}

bool AudioDevice::channelIs3D(uint32_t handle) const {
    if (!ready()) {
        return false;
    }
    if (const Channel* channel = findChannel(handle)) {
        succeed();
        return (channel->sample->flags & kSample3D) != 0;
    }
    if (streams_.count(handle)) {
        succeed();
        return false;
    }
    return fail(AudioError::Handle);
}

bool AudioDevice::set3DPosition(const AudioVector& position, const AudioVector& front,
                                const AudioVector& top) {
    if (!ready()) {
        return false;
    }
    listenerPosition_ = position;
    listenerFront_ = front;
    listenerTop_ = top;
    return succeed();
}

bool AudioDevice::get3DPosition(AudioVector* position, AudioVector* front, AudioVector* top) const {
    if (!ready()) {
        return false;
    }
    if (position) {
        *position = listenerPosition_;
    }
    if (front) {
        *front = listenerFront_;
    }
    if (top) {
        *top = listenerTop_;
    }
    return succeed();
}

bool AudioDevice::apply3D() {
    if (!ready()) {
        return false;
    }
    ALfloat position[3];
    ALfloat orientation[6];
    toAL(listenerPosition_, distanceFactor_, position);
    toAL(listenerFront_, 1.0f, orientation);
    toAL(listenerTop_, 1.0f, orientation + 3);
    alListenerfv(AL_POSITION, position);
    alListenerfv(AL_ORIENTATION, orientation);
    for (auto& [handle, sample] : samples_) {
        for (PlaybackSlot& slot : sample->slots) {
            if (slot.positionDirty && slot.source) {
                toAL(slot.position, distanceFactor_, position);
                alSourcefv(slot.source, AL_POSITION, position);
                slot.positionDirty = false;
            }
        }
    }
    return succeed();
}

}  // namespace vantor
