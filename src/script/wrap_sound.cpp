#include "script/wrap_sound.h"

#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>

#include <cstdint>

#include "app/GameApp.h"
#include "script/ScriptFunction.h"

namespace vantor::script {

int w_PlayStream(lua_State* L) {
    return guarded(L, "PlayStream", [&] {
        const std::string name = argText(L, 1);
        if (GameApp* app = getApp()) {
            checkFilePath(L, app->getMusicDir() + name, ScriptSandbox::Access::Read);
            app->playStream(name);
        }
    });
}

int w_UnloadStream(lua_State* L) {
    return guarded(L, "UnloadStream", [&] {
        if (GameApp* app = getApp()) {
            app->unloadStream();
        }
    });
}

int w_Play2DSound(lua_State* L) {
    return guarded(
        L, "Play2DSound",
        [&] {
            const std::string name = argText(L, 1);
            const int volume = argInt(L, 2);
            const bool loop = argFlag(L, 3);
            GameApp* app = getApp();
            if (app) {
                checkFilePath(L, app->getMusicDir() + name, ScriptSandbox::Access::Read);
            }
            const uint32_t channel = app ? app->play2DSound(name, volume, loop) : 0;
            // Scripts see the handle as a signed 32-bit number.
            lua_pushnumber(L, static_cast<lua_Number>(static_cast<int32_t>(channel)));
            return 1;
        },
        [&] {
            lua_pushnumber(L, 0);
            return 1;
        });
}

int w_StopAllSounds(lua_State* L) {
    return guarded(L, "StopAllSounds", [&] {
        if (GameApp* app = getApp()) {
            app->stopAllSounds();
        }
    });
}

int w_SetMasterVolume(lua_State* L) {
    return guarded(L, "SetMasterVolume", [&] {
        const int soundVolume = argInt(L, 1);
        const int musicVolume = argInt(L, 2);
        if (GameApp* app = getApp()) {
            app->setMasterVolume(soundVolume, musicVolume);
        }
    });
}

}  // namespace vantor::script
