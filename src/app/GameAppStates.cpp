// The game-state stack of the application.

#include "app/GameApp.h"

namespace vantor {

void GameApp::pushState(GameState* state) {
    states_.push_back(state);
}

void GameApp::popState() {
    if (!states_.empty()) {
        states_.pop_back();
    }
}

bool GameApp::updateState() {
    return running_;
}

void GameApp::leaveEditMode() {}

bool GameApp::isKeyDown(int) {
    return false;
}

}  // namespace vantor
