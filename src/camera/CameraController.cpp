#include "camera/CameraController.h"

#include <OgreCamera.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>

#include <algorithm>

#include "collision/CollisionMgr.h"
#include "collision/CollisionResult.h"
#include "core/Log.h"
#include "core/Names.h"
#include "core/NodeTransform.h"
#include "core/SceneLookup.h"

namespace vantor {

namespace {
// Natural frequency of the spring at dampening 1, per second.
constexpr double kSpringRate = 3.75;
// How far a camera kept out of geometry stays in front of the surface, and
// at least from the tracked node: beyond the near clip distance (0.5), so
// the surface itself is not cut open.
constexpr float kClearance = 0.6f;
}  // namespace

CameraController::CameraController(Ogre::SceneManager& scene, platform::Clock& clock,
                                   CollisionMgr* collision)
    : scene_(scene), clock_(clock), collision_(collision) {
    camera_ = scene_.createCamera(names::kCamera);
    // The camera keeps its own tracking and fixed yaw axis, which OGRE 1.12
    // marks deprecated in favour of node tracking: the edit state moves the
    // camera relative to its carrier and needs the camera's own versions.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    camera_->setFixedYawAxis(true, Ogre::Vector3::UNIT_Y);
#pragma GCC diagnostic pop
    cameraNode_ = scene_.getRootSceneNode()->createChildSceneNode(
        names::kCameraNode, Ogre::Vector3::ZERO, Ogre::Quaternion::IDENTITY);
    lastTime_ = clock_.nowMs();
}

CameraController::~CameraController() {
    // The level's nodes outlive the controller (the scene goes with OGRE).
    Ogre::SceneNode* follow = followNode_;
    Ogre::SceneNode* target = target_;
    followNode_ = nullptr;
    target_ = nullptr;
    watch(follow, nullptr);
    watch(target, nullptr);
}

void CameraController::watch(Ogre::SceneNode* replaced, Ogre::SceneNode* node) {
    // Called after the link was changed; a node can hold one listener, and
    // the other link may still point at the replaced node.
    const bool stillUsed = replaced == followNode_ || replaced == target_;
    if (replaced && replaced != node && !stillUsed && replaced->getListener() == this) {
        replaced->setListener(nullptr);
    }
    if (node) {
        node->setListener(this);
    }
}

void CameraController::nodeDestroyed(const Ogre::Node* node) {
    if (node == target_) {
        target_ = nullptr;
        track(nullptr);
    }
    if (node == followNode_) {
        followNode_ = nullptr;
    }
}

void CameraController::setFollowNode(Ogre::SceneNode* node) {
    Ogre::SceneNode* replaced = followNode_;
    followNode_ = node;
    watch(replaced, node);
}

void CameraController::attach() {
    Ogre::SceneNode* followPoint = findSceneNode(&scene_, names::kFollowCamera);
    if (followPoint) {
        cameraNode_->setPosition(followPoint->_getDerivedPosition());
    } else {
        log("Error: CameraController::attach: the level has no scene node " +
            std::string(names::kFollowCamera));
    }
    if (Ogre::SceneNode* parent = camera_->getParentSceneNode()) {
        parent->detachObject(camera_);
    }
    cameraNode_->attachObject(camera_);
    Ogre::SceneNode* replaced = target_;
    target_ = findSceneNode(&scene_, names::kAvatar);
    watch(replaced, target_);
    if (target_ && followPoint) {
        setFollowNode(followPoint);
        setMode(Follow);
    }
}

void CameraController::detach() {
    if (Ogre::SceneNode* parent = camera_->getParentSceneNode()) {
        parent->detachObject(camera_);
    }
    setFollowNode(nullptr);
    setTarget(nullptr);
    setMode(Free);
}

void CameraController::setPosition(const Ogre::Vector3& position) {
    cameraNode_->setPosition(position);
}

void CameraController::setMode(CameraMode mode) {
    if (mode_ == Free && mode == Follow) {
        track(target_);
    } else if (mode_ == Follow && mode == Free) {
        track(nullptr);
    }
    mode_ = mode;
    lastTime_ = clock_.nowMs();
}

void CameraController::setTarget(Ogre::SceneNode* node) {
    Ogre::SceneNode* replaced = target_;
    target_ = node;
    watch(replaced, node);
    track(node);
}

void CameraController::track(Ogre::SceneNode* node) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    camera_->setAutoTracking(node != nullptr, node, Ogre::Vector3::ZERO);
#pragma GCC diagnostic pop
}

void CameraController::update() {
    if (mode_ != Follow) {
        return;
    }
    const uint32_t now = clock_.nowMs();
    const uint32_t elapsed = now - lastTime_;
    lastTime_ = now;
    if (!followNode_) {
        return;  // nothing to chase
    }
    const Ogre::Vector3 p = cameraNode_->_getDerivedPosition();
    const Ogre::Vector3 g = followNode_->_getDerivedPosition();
    const float seconds = static_cast<float>(elapsed / 1000.0);
    // A dampening of zero or below would make k infinite or undefined; such a
    // camera simply sits on its follow point.
    const float k = dampening_ > 0.0f
                        ? static_cast<float>(static_cast<double>(seconds) * kSpringRate /
                                             static_cast<double>(dampening_))
                        : 1.0f;
    if (k >= 1.0f) {
        cameraNode_->setPosition(g);
        velocity_ = Ogre::Vector3::ZERO;
    } else {
        // Explicit Euler step of a critically damped spring; both lines use
        // the velocity from before this step.
        const Ogre::Vector3 acceleration = (g - p) - 2.0f * velocity_;
        const Ogre::Vector3 position = p + velocity_ * k;
        velocity_ += acceleration * k;
        cameraNode_->setPosition(position);
    }
    keepOutOfGeometry();
}

void CameraController::keepOutOfGeometry() {
    if (collisionSpace_.empty() || !collision_ || !target_) {
        return;
    }
    // The avatar's node may hang below a platform moved this tick: OGRE's
    // cached world position would still be last frame's.
    const Ogre::Vector3 ball = worldTransform(target_).position;
    const Ogre::Vector3 toCamera = cameraNode_->getPosition() - ball;
    const float distance = toCamera.length();
    if (!(distance > kClearance)) {
        return;
    }
    // Well past the camera: a camera just short of a surface would show it
    // cut open by the near clip.
    CollisionResult hit;
    collision_->rayTest(collisionSpace_, ball, toCamera, distance + 2.0f * kClearance, hit);
    if (!hit.hitNode) {
        return;
    }
    const float reach = std::max((hit.point - ball).length() - kClearance, kClearance);
    // A camera resting on the clearance line keeps having its outward
    // velocity taken, so the spring does not wind up against the surface.
    constexpr float kOnTheLine = 1e-3f;
    if (reach > distance + kOnTheLine) {
        return;
    }
    const Ogre::Vector3 out = toCamera / distance;
    cameraNode_->setPosition(ball + out * reach);
    // The spring would carry the camera straight back into the surface.
    const float outward = velocity_.dotProduct(out);
    if (outward > 0.0f) {
        velocity_ -= out * outward;
    }
}

}  // namespace vantor
