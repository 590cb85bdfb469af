#include "states/EditState.h"

#include <OgreCamera.h>

#include <utility>

#include "app/GameApp.h"
#include "camera/CameraController.h"
#include "script/ScriptCall.h"
#include "world/Simulation.h"

namespace vantor {

namespace {
const char* const kEnteredText = "EditState entered";
const char* const kResumedText = "EditState resumed";
constexpr float kDegreesPerMouseUnit = -0.1f;
constexpr float kUnitsPerWheelUnit = 0.02f;
}  // namespace

EditState::EditState(states::KeyQuery keys, Simulation* simulation)
    : keys_(std::move(keys)), simulation_(simulation) {
    if (GameApp* app = getApp()) {
        camera_ = app->getCamera();
    }
}

void EditState::enter() {
    GameApp* app = getApp();
    if (app) {
        app->setDebugText(kEnteredText);
    }
    if (camera_) {
        camera_->setTarget(nullptr);
        camera_->setMode(Free);
    }
    Simulation* sim = simulation_ ? simulation_ : (app ? app->getSimulation() : nullptr);
    if (sim) {
        sim->setAvatarMove(Ogre::Vector3::ZERO);
    }
    leaveRequested_ = false;
}

void EditState::resume() {
    if (GameApp* app = getApp()) {
        app->setDebugText(kResumedText);
    }
}

bool EditState::update() {
    for (OIS::KeyCode key : {OIS::KC_UP, OIS::KC_DOWN, OIS::KC_LEFT, OIS::KC_RIGHT}) {
        if (states::isKeyDown(keys_, key)) {
            leaveRequested_ = true;
        }
    }
    return leaveRequested_;
}

void EditState::mouseMoved(const OIS::MouseEvent& event) {
    if (!camera_) {
        return;
    }
    Ogre::Camera* camera = camera_->getCamera();
    const OIS::MouseState& state = event.state;
    // The camera object itself flies, relative to its carrier node; OGRE 1.12
    // marks the camera's own motion calls deprecated.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (state.X.rel != 0) {
        camera->yaw(Ogre::Degree(kDegreesPerMouseUnit * static_cast<float>(state.X.rel)));
    }
    if (state.Y.rel != 0) {
        camera->pitch(Ogre::Degree(kDegreesPerMouseUnit * static_cast<float>(state.Y.rel)));
    }
    if (state.Z.rel != 0) {
        camera->moveRelative(
            Ogre::Vector3(0.0f, 0.0f, kUnitsPerWheelUnit * static_cast<float>(state.Z.rel)));
    }
#pragma GCC diagnostic pop
}

void EditState::keyPressed(const OIS::KeyEvent& event) {
    if (!states::runSharedKeys(event)) {
        return;
    }
    if (event.key == OIS::KC_RETURN) {
        states::runScript(ScriptCall(states::kAvatarToCamera).str());
    }
    states::runScript(states::keyStatement(states::kKeyPressed, event));
}

}  // namespace vantor
