#pragma once

// Script functions of the sound group: music streams, 2D samples and the two
// volume scales. Without a sound system (setup.music 0) they do nothing and
// Play2DSound returns 0.

#include <lua.h>

namespace vantor::script {

// PlayStream(name): stops the current music and plays musicdir..name once.
int w_PlayStream(lua_State* L);
// UnloadStream(): stops the music.
int w_UnloadStream(lua_State* L);
// Play2DSound(name, volume, loop) -> channel: plays musicdir..name; volume 0
// to 256 before scaling, loop true only for a non-zero number. The channel is
// a signed 32-bit number; 0 when nothing plays.
int w_Play2DSound(lua_State* L);
// StopAllSounds(): stops every sample channel; the music goes on.
int w_StopAllSounds(lua_State* L);
// SetMasterVolume(sound, music): both scales 0 to 256, for sounds started
// afterwards.
int w_SetMasterVolume(lua_State* L);

}  // namespace vantor::script
