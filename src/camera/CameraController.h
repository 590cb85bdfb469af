#pragma once

#include <OgreNode.h>
#include <OgreVector.h>

#include <cstdint>
#include <string>

#include "platform/Clock.h"

namespace Ogre {
class Camera;
class SceneManager;
class SceneNode;
}  // namespace Ogre

namespace vantor {

class CollisionMgr;

enum CameraMode { Free = 0, Follow = 1 };

// Owns the view: the camera "camera" on its carrier node "_CameraNode", which
// chases a follow point with a critically damped spring while the camera
// keeps looking at the avatar. Both scene objects belong to the scene
// manager; the controller never destroys them.
//
// The follow point and the tracked node belong to the level, which may destroy
// them at any time (RemoveActor, a level load). The controller listens to both
// nodes and forgets a node as it is destroyed, so neither the spring nor the
// camera's auto tracking ever reaches a destroyed node.
class CameraController : private Ogre::Node::Listener {
public:
    // Creates the camera and its node in scene. clock: the application
    // clock, which times the spring. collision: the level geometry the
    // camera may be kept out of (null: never). All (not owned) outlive the
    // controller.
    CameraController(Ogre::SceneManager& scene, platform::Clock& clock,
                     CollisionMgr* collision = nullptr);
    ~CameraController() override;
    CameraController(const CameraController&) = delete;
    CameraController& operator=(const CameraController&) = delete;

    // Hooks the camera to the current level: snaps to "_FollowCamera1",
    // follows it and tracks "_AVATAR" when the level has them.
    void attach();
    // Unhooks the camera from its node and from the level's nodes; Free mode.
    void detach();

    void setPosition(const Ogre::Vector3& position);
    void setMode(CameraMode mode);
    void setDampening(float dampening) { dampening_ = dampening; }
    void setFollowNode(Ogre::SceneNode* node);
    // A node turns the camera's auto tracking on toward it, null turns it off.
    void setTarget(Ogre::SceneNode* node);
    // The collision space whose geometry the follow camera stays out of ("":
    // none, the camera goes wherever its spring takes it). Set per level.
    void setCollisionSpace(const std::string& space) { collisionSpace_ = space; }
    // One follow step; called every simulation tick. Does nothing in Free mode.
    void update();

    Ogre::Camera* getCamera() { return camera_; }
    Ogre::SceneNode* getCameraNode() { return cameraNode_; }
    CameraMode getMode() const { return mode_; }
    float getDampening() const { return dampening_; }
    // Spring velocity in units per unit of the step factor k.
    const Ogre::Vector3& getVelocity() const { return velocity_; }

private:
    void nodeDestroyed(const Ogre::Node* node) override;
    // The camera's own auto tracking toward node (null: off).
    void track(Ogre::SceneNode* node);
    // Moves this listener from the node it replaces to the new one.
    void watch(Ogre::SceneNode* replaced, Ogre::SceneNode* node);
    // Pulls the camera in front of the first surface of the collision space
    // between the tracked node and the camera.
    void keepOutOfGeometry();

    Ogre::SceneManager& scene_;
    platform::Clock& clock_;
    CollisionMgr* collision_;
    std::string collisionSpace_;
    CameraMode mode_ = Free;
    uint32_t lastTime_ = 0;  // application clock at the last mode change or step, ms
    float dampening_ = 0.5f;
    Ogre::Vector3 velocity_ = Ogre::Vector3::ZERO;
    Ogre::SceneNode* cameraNode_ = nullptr;
    Ogre::SceneNode* followNode_ = nullptr;
    Ogre::SceneNode* target_ = nullptr;
    Ogre::Camera* camera_ = nullptr;
};

}  // namespace vantor
