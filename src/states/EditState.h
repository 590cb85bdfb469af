#pragma once

#include "states/GameState.h"
#include "states/StateScript.h"

namespace vantor {

class CameraController;
class Simulation;

// Free camera: the avatar stands still, the mouse turns the camera and its
// wheel flies it; an arrow key (or leave) returns to the play state.
class EditState : public GameState {
public:
    // Takes the camera controller from the application (it outlives the
    // state). keys: see states::KeyQuery. simulation (not owned): whose
    // avatar is stopped on entry; null means the application's.
    explicit EditState(states::KeyQuery keys = nullptr, Simulation* simulation = nullptr);

    void enter() override;
    bool update() override;
    void resume() override;
    void mouseMoved(const OIS::MouseEvent& event) override;
    void keyPressed(const OIS::KeyEvent& event) override;
    void leave() override { leaveRequested_ = true; }

    bool isLeaving() const { return leaveRequested_; }

private:
    states::KeyQuery keys_;
    Simulation* simulation_ = nullptr;
    CameraController* camera_ = nullptr;
    bool leaveRequested_ = false;
};

}  // namespace vantor
