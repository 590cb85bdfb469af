#include "script/bindings/wrap_sound.h"

#include <cstdint>

#include "app/GameApp.h"
#include "script/bindings/BindingSupport.h"
#include "script/bindings/ScriptFunction.h"
#include "sound/CSound.h"

namespace vantor::script {

namespace {

// A sound file's path: the music folder followed by the script's name as it
// stands (the setup value carries the separator), checked as a file name.
std::string soundPath(lua_State* L, const std::string& name) {
    std::string path = app().getMusicDir() + name;
    checkFilePath(L, path, ScriptSandbox::Access::Read);
    return path;
}

}  // namespace

int w_PlayStream(lua_State* L) {
    return guarded(L, "PlayStream", [&] {
        const std::string path = soundPath(L, argText(L, 1));
        if (CSound* player = sound()) {
            player->playStream(path);
        }
    });
}

int w_UnloadStream(lua_State* L) {
    return guarded(L, "UnloadStream", [&] {
        if (CSound* player = sound()) {
            player->stopStream();
        }
    });
}

int w_Play2DSound(lua_State* L) {
    auto pushChannel = [L](uint32_t channel) {
        // Scripts see the handle as a signed 32-bit number.
        lua_pushnumber(L, static_cast<lua_Number>(static_cast<int32_t>(channel)));
        return 1;
    };
    return guarded(
        L, "Play2DSound",
        [&] {
            const std::string path = soundPath(L, argText(L, 1));
            const int volume = argInt(L, 2);
            const bool loop = argFlag(L, 3);
            CSound* player = sound();
            return pushChannel(player ? player->play2D(path, volume, loop) : 0);
        },
        [&] { return pushChannel(0); });
}

int w_StopAllSounds(lua_State* L) {
    return guarded(L, "StopAllSounds", [&] {
        if (CSound* player = sound()) {
            player->stopAll();
        }
    });
}

int w_SetMasterVolume(lua_State* L) {
    return guarded(L, "SetMasterVolume", [&] {
        const int soundVolume = argInt(L, 1);
        const int musicVolume = argInt(L, 2);
        if (CSound* player = sound()) {
            player->setVolumes(soundVolume, musicVolume);
        }
    });
}

}  // namespace vantor::script
