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

// Answers whether an OIS key code is held now. The states ask GameApp (and
// through it the keyboard) unless a test gives them a query of its own.
using KeyQuery = std::function<bool(int keyCode)>;

// The query a state uses: `keys` when set, else GameApp::isKeyDown.
bool isKeyDown(const KeyQuery& keys, int keyCode);

// Runs one statement in the "lua" script state; a script error is reported by
// the script host and changes nothing here.
void runScript(const std::string& statement);

// KeyPressed(code, 'text') and KeyReleased(code, 'text'): the key code as a
// signed number, the character code as unsigned decimal digits in quotes.
std::string keyStatement(const char* function, const OIS::KeyEvent& event);

}  // namespace vantor::states
