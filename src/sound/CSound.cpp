#include "sound/CSound.h"

#include <OgreNode.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>

#include <algorithm>
#include <climits>

#include "app/GameApp.h"
#include "app/Log.h"
#include "sound/AudioDevice.h"

namespace vantor {

namespace {

const char* const kInitFailed = "CSound: Error! Can't initialize output device";
const char* const kPlaying = "CSound: Playing ";
const char* const kErrorCode = "CSound: Error code: ";
const char* const kCameraNode = "_CameraNode";

constexpr int kFrequency = 44100;
constexpr int kMaxVolume = 256;
constexpr int kMaxPlaybacks = 10;
// The stream always asks for this volume before the music scale applies.
constexpr int kStreamVolume = 100;

void logLoadFailure(AudioError code, const std::string& path) {
    log(kErrorCode + std::to_string(static_cast<int>(code)) + " (" + path + ")");
}

AudioVector toAudio(const Ogre::Vector3& v) {
    return AudioVector{v.x, v.y, v.z};
}

}  // namespace

CSound::CSound() : device_(std::make_unique<AudioDevice>()) {
    if (!device_->init(1, kFrequency, AudioDevice::kDevice3D)) {
        log(kInitFailed);
        return;
    }
    device_->set3DFactors(1.0f, 1.0f, 1.0f);
    device_->setMaxVolume(kMaxVolume);
    soundVolume_ = kMaxVolume;
    musicVolume_ = kMaxVolume;
}

CSound::~CSound() {
    stopAll();
    stopStream();
    device_->free();
}

int CSound::scaleVolume(int requested, int scale) {
    const double product = static_cast<double>(static_cast<long long>(requested) * scale);
    const float scaled = static_cast<float>(product * 0.00390625);
    // Saturate first so the truncation below is always defined.
    return static_cast<int>(std::clamp(scaled, static_cast<float>(INT_MIN), 2147483520.0f));
}

uint32_t CSound::playStream(const std::string& path) {
    stopStream();
    if (!device_->isInitialised()) {
        return 0;
    }
    const uint32_t stream = device_->streamCreateFile(path, 0);
    if (!stream) {
        logLoadFailure(device_->errorGetCode(), path);
        return 0;
    }
    stream_ = stream;
    // Volume before play: the mixer runs on its own thread and would otherwise
    // start the first few milliseconds at full gain.
    device_->channelSetAttributes(stream_, scaleVolume(kStreamVolume, musicVolume_), 0);
    device_->channelPlay(stream_);
    streamPlaying_ = true;
    log(kPlaying + path);
    return stream_;
}

void CSound::stopStream() {
    if (streamPlaying_) {
        device_->channelStop(stream_);
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
            flags |= AudioDevice::kSample3D | AudioDevice::kSampleMono;
        }
        sample = device_->sampleLoad(path, kMaxPlaybacks, flags);
        if (!sample) {
            logLoadFailure(device_->errorGetCode(), path);
            return 0;
        }
        samples_[path] = sample;
    }

    // All playbacks of the sample busy: nothing would sound, so nothing is
    // recorded either.
    const uint32_t channel = device_->sampleGetChannel(sample);
    if (!channel) {
        return 0;
    }
    device_->channelSetAttributes(channel, vol, 0);  // before play, as for the stream
    device_->channelPlay(channel);
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
    device_->set3DPosition(toAudio(node._getDerivedPosition()),
                           toAudio(orientation.zAxis().normalisedCopy()),
                           toAudio(orientation.yAxis().normalisedCopy()));
}

void CSound::updateListener() {
    if (!device_->isInitialised()) {
        return;
    }
    device_->update();
    GameApp* app = getApp();
    Ogre::SceneManager* scene = app ? app->getSceneManager() : nullptr;
    if (scene) {
        // Looked up among the root's children rather than by getChild(name),
        // which throws when the node is missing (before the start-up scene).
        for (Ogre::Node* child : scene->getRootSceneNode()->getChildren()) {
            if (child->getName() == kCameraNode) {
                placeListener(*child);
                break;
            }
        }
    }
    device_->apply3D();
}

}  // namespace vantor
