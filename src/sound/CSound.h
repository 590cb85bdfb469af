#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace Ogre {
class Node;
class SceneManager;
}  // namespace Ogre

namespace vantor {

class AudioDevice;

// The game's sound: one music stream at a time, samples decoded once per path
// and played on as many channels as they allow (plain, or as 3D sources that
// actors carry), two volume scales (sound and music) and a 3D listener at the
// camera's carrier node.
//
// Owned by GameApp (only when the setup enables music); its operations are
// called on the main thread only, while the music and long samples are fed
// by a thread of the audio layer, so they play on through a stalled frame.
// Volumes are on a 0 to 256 scale. Without an output device the object still
// exists and every call is harmless and silent.
class CSound {
public:
    // Opens the default output device with 3D enabled, full volume ceiling
    // 256 and both volume scales at 256; on failure logs one line and stays
    // silent for its whole life.
    // scene (not owned, may be null) holds the listener's node and outlives
    // the sound system.
    explicit CSound(Ogre::SceneManager* scene);
    // Stops every channel and the stream, then closes the device.
    ~CSound();
    CSound(const CSound&) = delete;
    CSound& operator=(const CSound&) = delete;

    // Stops the current stream and starts the file once (no loop) at volume
    // 100 on the music scale. Returns the stream handle, 0 when the file
    // cannot be opened or no voice is free (logged like a sample failure; no
    // stream is playing afterwards).
    uint32_t playStream(const std::string& path);
    void stopStream();

    // Plays a sample at `volume` (0 to 256, before scaling). The first play of
    // a path loads it and fixes its loop and 3D properties for the rest of the
    // run. Returns the channel, or 0 with one log line naming the path and
    // the cause when the sample cannot be loaded, all of its playbacks are
    // busy or no voice is free.
    uint32_t play2D(const std::string& path, int volume, bool loop);
    uint32_t play3D(const std::string& path, int volume, bool loop);

    // Moves a 3D channel; takes effect at the next updateListener.
    void setChannelPosition(uint32_t channel, float x, float y, float z);
    // Stops a channel this object started; unknown channels are ignored.
    void stopChannel(uint32_t channel);
    // Stops every recorded channel; the stream goes on.
    void stopAll();
    // Sets both scales; only sounds started afterwards are affected.
    void setVolumes(int soundVolume, int musicVolume);

    // Every frame: moves the listener to the camera's carrier node
    // "_CameraNode" (when the scene has that node).
    void updateListener();
    // Puts the listener at the node's world position, facing the node's z
    // axis with its y axis up.
    void placeListener(const Ogre::Node& node);

    // requested * scale / 256 in single precision, truncated toward zero.
    static int scaleVolume(int requested, int scale);

    bool isStreamPlaying() const { return streamPlaying_; }
    // Channels started and not yet stopped through this object.
    size_t getChannelCount() const { return channels_.size(); }

private:
    uint32_t playSample(const std::string& path, int volume, bool loop, bool is3D);
    // "CSound: Error code: N (path): cause" for the device's last error.
    void logFailure(const std::string& path) const;

    Ogre::SceneManager* scene_;
    std::unique_ptr<AudioDevice> device_;
    bool streamPlaying_ = false;
    int soundVolume_ = 0;
    int musicVolume_ = 0;
    uint32_t stream_ = 0;
    // Full path -> sample handle; samples stay loaded until the device closes.
    std::map<std::string, uint32_t> samples_;
    // Channel handle -> the same handle: the channels stopChannel and stopAll
    // may stop.
    std::map<uint32_t, uint32_t> channels_;
};

}  // namespace vantor
