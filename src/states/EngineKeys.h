#pragma once

#include <OISKeyboard.h>

namespace vantor::states {

// The engine's own keys, seen before the level: F2 shows or hides the error
// list, F3 the debug readout, F4 the collision wireframe, F5 reloads the
// level, and the grave key opens the console, which then takes every key.
// They work whatever the level script defines or breaks.

// True when the event was the engine's and must not reach the game state.
bool engineKeyPressed(const OIS::KeyEvent& event);
bool engineKeyReleased(const OIS::KeyEvent& event);

// Whether held keys reach the game: not while the console takes them.
bool heldKeysReachGame();

}  // namespace vantor::states
