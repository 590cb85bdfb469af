#pragma once

#include <OISKeyboard.h>

#include <functional>
#include <string>

namespace vantor::states {

// Names of the level functions the states call.
constexpr const char* kScreenshot = "Screenshot";
constexpr const char* kEscPressed = "EscPressed";
constexpr const char* kAvatarToCamera = "AvatarToCamera";
constexpr const char* kKeyPressed = "KeyPressed";
constexpr const char* kKeyReleased = "KeyReleased";

// Logged when Escape ends a level that could not take it itself.
constexpr const char* kEscapeEndsGame =
    "Error: the level defines neither EscPressed nor KeyPressed; Escape ends the game";

// Answers whether an OIS key code is held now. The states ask GameApp (and
// through it the keyboard) unless a test gives them a query of its own.
using KeyQuery = std::function<bool(int keyCode)>;

// The query a state uses: `keys` when set, else GameApp::isKeyDown.
bool isKeyDown(const KeyQuery& keys, int keyCode);

// Runs one statement in the "lua" script state; a script error is reported by
// the script host and changes nothing here.
void runScript(const std::string& statement);

// Escape in a level that defines neither EscPressed nor KeyPressed (a start
// level that failed to compile, say) would only raise script errors and leave
// the player no way out. Such a level has Escape end the game the way
// ShutDown() does, with one log line; returns true then. A level that defines
// either callback keeps Escape for itself and this returns false.
bool escapeEndsGame();

// The keys both states pass on alike: SysRq runs Screenshot(), Escape runs
// EscPressed() (or ends a level without callbacks; see escapeEndsGame). False
// when the game is ending and the key must go no further.
bool runSharedKeys(const OIS::KeyEvent& event);

// KeyPressed(code, 'text') and KeyReleased(code, 'text'): the key code as a
// signed number, the character code as unsigned decimal digits in quotes.
std::string keyStatement(const char* function, const OIS::KeyEvent& event);

}  // namespace vantor::states
