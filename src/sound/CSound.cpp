#include "sound/CSound.h"

#include <OgreNode.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>

#include <algorithm>
#include <climits>

#include "core/Log.h"
#include "core/Names.h"
#include "core/Numbers.h"
#include "platform/Stderr.h"
#include "sound/AudioDevice.h"

namespace vantor {

namespace {

const char* const kInitFailed = "CSound: Error! Can't initialize output device";
const char* const kPlaying = "CSound: Playing ";
const char* const kErrorCode = "CSound: Error code: ";

constexpr int kFrequency = 44100;
constexpr int kMaxVolume = 256;
constexpr int kMaxPlaybacks = 10;
// The stream always asks for this volume before the music scale applies.
constexpr int kStreamVolume = 100;

AudioVector toAudio(const Ogre::Vector3& v) {
    return AudioVector{v.x, v.y, v.z};
}

}  // namespace

CSound::CSound(Ogre::SceneManager* scene)
    : scene_(scene), device_(std::make_unique<AudioDevice>()) {
    bool opened = false;
    {
        // The sound libraries print a screenful when they find no sound
        // card; the one line below says all the player needs.
        platform::SilencedStderr quiet;
        opened = device_->init(kFrequency, kMaxVolume);
    }
    if (!opened) {
        log(kInitFailed);
        return;
    }
    soundVolume_ = kMaxVolume;
    musicVolume_ = kMaxVolume;
}

CSound::~CSound() {
    stopAll();
    stopStream();
    device_->free();
}

void CSound::logFailure(const std::string& path) const {
    const AudioError code = device_->errorGetCode();
    log(kErrorCode + std::to_string(static_cast<int>(code)) + " (" + path +
        "): " + describeAudioError(code));
}

int CSound::scaleVolume(int requested, int scale) {
    const double product = static_cast<double>(static_cast<long long>(requested) * scale);
    const float scaled = static_cast<float>(product * 0.00390625);
    return truncateToInt(scaled);
}

uint32_t CSound::playStream(const std::string& path) {
    stopStream();
    if (!device_->isInitialised()) {
        return 0;
    }
    const uint32_t stream = device_->streamPlay(path, scaleVolume(kStreamVolume, musicVolume_));
    if (!stream) {
        logFailure(path);
        return 0;
    }
    stream_ = stream;
    streamPlaying_ = true;
    log(kPlaying + path);
    return stream_;
}

void CSound::stopStream() {
    if (streamPlaying_) {
        device_->streamFree(stream_);
        stream_ = 0;
    }
    streamPlaying_ = false;
}

uint32_t CSound::play2D(const std::string& path, int volume, bool loop) {
    return playSample(path, volume, loop, false);
}

uint32_t CSound::play3D(const std::string& path, int volume, bool loop) {
    return playSample(path, volume, loop, true);
}

uint32_t CSound::playSample(const std::string& path, int volume, bool loop, bool is3D) {
    if (!device_->isInitialised()) {
        return 0;  // the start-up line already said why
    }
    const bool isMusic = path.size() >= 3 && path.compare(path.size() - 3, 3, "mp3") == 0;
    const int vol = scaleVolume(volume, isMusic ? musicVolume_ : soundVolume_);

    uint32_t sample = 0;
    if (auto it = samples_.find(path); it != samples_.end()) {
        sample = it->second;
    } else {
        uint32_t flags = loop ? AudioDevice::kSampleLoop : 0;
        if (is3D) {
            flags |= AudioDevice::kSample3D;
        }
        sample = device_->sampleLoad(path, kMaxPlaybacks, flags);
        if (!sample) {
            logFailure(path);
            return 0;
        }
        samples_[path] = sample;
    }

    // All playbacks of the sample busy, or no voice free: nothing would
    // sound, so nothing is recorded either.
    const uint32_t channel = device_->samplePlay(sample, vol);
    if (!channel) {
        logFailure(path);
        return 0;
    }
    channels_[channel] = channel;
    return channel;
}

void CSound::setChannelPosition(uint32_t channel, float x, float y, float z) {
    device_->channelSet3DPosition(channel, AudioVector{x, y, z});
}

void CSound::stopChannel(uint32_t channel) {
    auto it = channels_.find(channel);
    if (it == channels_.end()) {
        return;
    }
    device_->channelStop(it->second);
    channels_.erase(it);
}

void CSound::stopAll() {
    for (const auto& [key, channel] : channels_) {
        device_->channelStop(channel);
    }
    channels_.clear();
}

void CSound::setVolumes(int soundVolume, int musicVolume) {
    soundVolume_ = soundVolume;
    musicVolume_ = musicVolume;
}

void CSound::placeListener(const Ogre::Node& node) {
    const Ogre::Quaternion& orientation = node._getDerivedOrientation();
    device_->setListener(toAudio(node._getDerivedPosition()),
                         toAudio(orientation.zAxis().normalisedCopy()),
                         toAudio(orientation.yAxis().normalisedCopy()));
}

void CSound::updateListener() {
    if (!device_->isInitialised()) {
        return;
    }
    if (scene_) {
        // Looked up among the root's children rather than by getChild(name),
        // which throws when the node is missing (before the start-up scene).
        for (Ogre::Node* child : scene_->getRootSceneNode()->getChildren()) {
            if (child->getName() == names::kCameraNode) {
                placeListener(*child);
                break;
            }
        }
    }
}

}  // namespace vantor
