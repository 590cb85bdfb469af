#pragma once

#include "states/GameState.h"
#include "states/StateScript.h"

namespace Ogre {
class SceneManager;
}

namespace vantor {

class CameraController;
class Simulation;

// Walking: the keyboard steers the avatar (turn, walk, jump) and the camera
// follows it; every key press and release reaches the level script. A mouse
// movement enters the edit state when the level allows it.
class PlayState : public GameState {
public:
    // editState (not owned, may be null) is pushed on a mouse movement when
    // the level allows editing. Takes the camera controller and scene manager
    // from the application; all of them outlive the state. keys: see
    // states::KeyQuery. simulation (not owned): where the avatar is steered;
    // null means the application's.
    explicit PlayState(GameState* editState, states::KeyQuery keys = nullptr,
                       Simulation* simulation = nullptr);

    void enter() override;
    void exit() override;
    bool update() override;
    void resume() override;
    void mouseMoved(const OIS::MouseEvent& event) override;
    void keyPressed(const OIS::KeyEvent& event) override;
    void keyReleased(const OIS::KeyEvent& event) override;

    // -1.0 (right) .. 1.0 (left); degrees per step are rate * 4.
    float getTurnRate() const { return turnRate_; }

private:
    // The three camera calls of enter and resume; missing level nodes are
    // logged and handed over as null (no tracking, nothing to follow).
    void followAvatar();
    bool held(int keyCode) const { return states::isKeyDown(keys_, keyCode); }
    Simulation* simulation() const;

    states::KeyQuery keys_;
    GameState* editState_ = nullptr;
    Simulation* simulation_ = nullptr;
    CameraController* camera_ = nullptr;
    Ogre::SceneManager* sceneMgr_ = nullptr;
    float turnRate_ = 0.0f;
};

}  // namespace vantor
