// GameApp's sound forwarding. Scripts and actors reach the sound system only
// through these, so a setup without sound (no CSound) costs them nothing: the
// calls do nothing and channels come back as 0. Names are appended to the
// music directory as they stand; the setup value carries the separator.

#include "app/GameApp.h"
#include "sound/CSound.h"

namespace vantor {

void GameApp::playStream(const std::string& name) {
    if (CSound* sound = getSound()) {
        sound->playStream(getMusicDir() + name);
    }
}

void GameApp::unloadStream() {
    if (CSound* sound = getSound()) {
        sound->stopStream();
    }
}

uint32_t GameApp::play2DSound(const std::string& name, int volume, bool loop) {
    CSound* sound = getSound();
    return sound ? sound->play2D(getMusicDir() + name, volume, loop) : 0;
}

uint32_t GameApp::play3DSound(const std::string& name, int volume, bool loop) {
    CSound* sound = getSound();
    return sound ? sound->play3D(getMusicDir() + name, volume, loop) : 0;
}

void GameApp::setSoundPosition(uint32_t channel, float x, float y, float z) {
    if (CSound* sound = getSound()) {
        sound->setChannelPosition(channel, x, y, z);
    }
}

void GameApp::stopSound(uint32_t channel) {
    if (CSound* sound = getSound()) {
        sound->stopChannel(channel);
    }
}

void GameApp::stopAllSounds() {
    if (CSound* sound = getSound()) {
        sound->stopAll();
    }
}

void GameApp::setMasterVolume(int soundVolume, int musicVolume) {
    if (CSound* sound = getSound()) {
        sound->setVolumes(soundVolume, musicVolume);
    }
}

}  // namespace vantor
