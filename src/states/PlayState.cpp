#include "states/PlayState.h"

#include <OgreCamera.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>

#include <algorithm>
#include <utility>

#include "app/GameApp.h"
#include "camera/CameraController.h"
#include "core/Log.h"
#include "core/Names.h"
#include "core/SceneLookup.h"
#include "script/TableValues.h"
#include "world/Simulation.h"

namespace vantor {

namespace {
const char* const kEnteredText = "PlayState entered";
constexpr float kTurnStep = 0.1f;     // turn rate change per step
constexpr float kTurnDegrees = 4.0f;  // degrees per step at full rate (0.05 * 80)
constexpr float kForwardSpeed = 5.0f;
constexpr float kBackwardSpeed = -2.5f;
constexpr float kJumpRequest = 0.4f;
}  // namespace

PlayState::PlayState(GameState* editState, states::KeyQuery keys, Simulation* simulation)
    : keys_(std::move(keys)), editState_(editState), simulation_(simulation) {
    if (GameApp* app = getApp()) {
        camera_ = app->getCamera();
        sceneMgr_ = app->getSceneManager();
    }
}

Simulation* PlayState::simulation() const {
    if (simulation_) {
        return simulation_;
    }
    GameApp* app = getApp();
    return app ? app->getSimulation() : nullptr;
}

void PlayState::enter() {
    if (GameApp* app = getApp()) {
        app->setDebugText(kEnteredText);
    }
    turnRate_ = 0.0f;
    followAvatar();
}

void PlayState::exit() {
    if (camera_) {
        camera_->setMode(Free);
    }
}

void PlayState::resume() {
    if (camera_) {
        // Back onto the carrier after the edit state's flight (a camera-relative
        // call, which OGRE 1.12 marks deprecated in favour of scene nodes).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
        camera_->getCamera()->setPosition(Ogre::Vector3::ZERO);
#pragma GCC diagnostic pop
    }
    followAvatar();
}

void PlayState::followAvatar() {
    Ogre::SceneNode* avatar = findSceneNode(sceneMgr_, names::kAvatar);
    Ogre::SceneNode* follow = findSceneNode(sceneMgr_, names::kFollowCamera);
    if (!avatar) {
        log(std::string("Error: PlayState: the level has no scene node ") + names::kAvatar);
    }
    if (!follow) {
        log(std::string("Error: PlayState: the level has no scene node ") + names::kFollowCamera);
    }
    if (!camera_ || !avatar) {
        return;  // the camera stays as the level load left it
    }
    camera_->setTarget(avatar);
    // Without a follow point the camera keeps looking at the avatar from
    // where it stands, as CameraController::attach leaves it.
    if (follow) {
        camera_->setMode(Follow);
        camera_->setFollowNode(follow);
    }
}

bool PlayState::update() {
    Simulation* sim = simulation();
    const bool left = held(OIS::KC_LEFT) || held(OIS::KC_A);
    const bool right = held(OIS::KC_RIGHT) || held(OIS::KC_D);
    if (left) {
        turnRate_ = std::min(turnRate_ + kTurnStep, 1.0f);
        if (sim) {
            sim->turnAvatar(turnRate_ * kTurnDegrees);
        }
    }
    if (right) {
        turnRate_ = std::max(turnRate_ - kTurnStep, -1.0f);
        if (sim) {
            sim->turnAvatar(turnRate_ * kTurnDegrees);
        }
    }
    if (!left && !right) {
        turnRate_ = 0.0f;
    }

    Ogre::Vector3 move = Ogre::Vector3::ZERO;
    if (held(OIS::KC_SPACE)) {
        move.y = kJumpRequest;
    }
    if (held(OIS::KC_UP) || held(OIS::KC_W)) {
        move.x = kForwardSpeed;
    }
    // Backward wins when both are held.
    if (held(OIS::KC_DOWN) || held(OIS::KC_S)) {
        move.x = kBackwardSpeed;
    }
    if (sim) {
        sim->setAvatarMove(move);
    }
    return false;
}

void PlayState::mouseMoved(const OIS::MouseEvent& event) {
    // OIS reports the pointer once as the window comes up, without any
    // motion; only a real movement means the player reached for the mouse.
    const OIS::MouseState& state = event.state;
    if (state.X.rel == 0 && state.Y.rel == 0 && state.Z.rel == 0) {
        return;
    }
    GameApp* app = getApp();
    if (!app) {
        return;
    }
    if (getStringValue(app->getScriptVM("lua"), "Level", "editstateallowed") == "1") {
        if (editState_) {
            app->pushState(editState_);
        }
    }
}

void PlayState::keyPressed(const OIS::KeyEvent& event) {
    if (states::runSharedKeys(event)) {
        states::runScript(states::keyStatement(states::kKeyPressed, event));
    }
}

void PlayState::keyReleased(const OIS::KeyEvent& event) {
    states::runScript(states::keyStatement(states::kKeyReleased, event));
}

}  // namespace vantor
