// The game-state stack of the application and its input handler.

#include "app/GameApp.h"
#include "states/EditState.h"
#include "states/GameState.h"
#include "states/InputHandler.h"
#include "states/InputJournal.h"
#include "states/PlayState.h"

namespace vantor {

void GameApp::createGameStates() {
    if (!headless_) {
        handler_ = std::make_unique<InputHandler>(windowHandle_);
    }
    editState_ = std::make_unique<EditState>();
    playState_ = std::make_unique<PlayState>(editState_.get());
    // The first state is entered without resuming anything below it.
    states_.push_back(playState_.get());
    playState_->enter();
}

void GameApp::pushState(GameState* state) {
    if (!state) {
        return;
    }
    if (!states_.empty()) {
        states_.back()->resume();
    }
    states_.push_back(state);
    state->enter();
}

void GameApp::popState() {
    if (states_.empty()) {
        return;
    }
    states_.back()->exit();
    states_.pop_back();
    if (!states_.empty()) {
        states_.back()->resume();
    }
}

bool GameApp::updateState() {
    // Nothing to update (no state made yet) does not stop the world.
    if (states_.empty()) {
        return running_;
    }
    if (states_.back()->update()) {
        popState();
        if (states_.empty()) {
            running_ = false;
            return false;
        }
    }
    return running_;
}

void GameApp::leaveEditMode() {
    if (!states_.empty() && dynamic_cast<EditState*>(states_.back())) {
        states_.back()->leave();
    }
}

bool GameApp::isKeyDown(int keyCode) {
    if (journal_ && journal_->isReplay()) {
        return journal_->isKeyDown(keyCode);
    }
    return handler_ && handler_->isKeyDown(keyCode);
}

GameState* GameApp::getCurrentState() const {
    return states_.empty() ? nullptr : states_.back();
}

}  // namespace vantor
