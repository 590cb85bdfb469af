#pragma once

#include <OgreNode.h>
#include <OgreQuaternion.h>
#include <OgreVector.h>

#include <cstdint>
#include <string>

#include "world/ActorMessage.h"
#include "world/WorldLinks.h"

namespace Ogre {
class AnimationState;
class Entity;
class ParticleSystem;
class SceneManager;
class SceneNode;
}  // namespace Ogre

namespace vantor {

class CollisionGeom;
class ParentFrames;

// A scripted object of a level: a name, at most one scene node and optionally
// an entity, a particle system, a 3D sound channel, an animation, collision
// geometry and a constant linear and angular motion. Owned by the
// Simulation's actor registry; changed by timed ActorMessages.
//
// The node, entity and particle system are named after the actor; they are
// owned by the scene manager but created and destroyed only by their actor.
// The collision geometry is owned by the collision manager.
class Actor {
public:
    // Nothing is created in the scene yet. links (the simulation's, not
    // owned) outlive the actor.
    Actor(std::string name, const WorldLinks& links);
    // Stops the sound, destroys particles, entity, collision geometry and
    // node, in that order.
    ~Actor();
    Actor(const Actor&) = delete;
    Actor& operator=(const Actor&) = delete;

    // Runs the operation of one message type. Errors of the rendering
    // library (unknown meshes, templates, duplicate names) are logged and
    // leave the actor as far as it got.
    void handleMessage(const ActorMessage& message);

    // Puts the node under the scene node parentName, creating the node on
    // first use. mode "Keep" or "" keeps the world transform; any other word
    // keeps the transform relative to the parent.
    void attachTo(const std::string& parentName, const std::string& mode);
    void setPosition(const std::string& frameWord, const Ogre::Vector3& vector);
    // angle in degrees; the axis is normalised here.
    void setRotation(const std::string& frameWord, const Ogre::Vector3& axis, float angle);
    // Makes the node's world orientation equal to orientation.
    void setWorldOrientation(const Ogre::Quaternion& orientation);
    void setEntity(const std::string& meshName, const std::string& flagWord);
    void setCollisionGeometry(const std::string& meshName, const std::string& spaceName);
    // velocity in units per second.
    void setVelocity(const Ogre::Vector3& velocity, const std::string& frameWord);
    // speed in degrees per second; 0 stops the spin.
    void setSpin(const Ogre::Vector3& axis, float speed, const std::string& frameWord);
    // Runs text in the "lua" script state. Touches nothing of the actor once
    // the script runs: the script may remove this very actor.
    void runScript(const std::string& text);
    // duration in seconds of simulation time; 0 makes word the base
    // material, a negative duration makes it permanent but not the base.
    void setMaterial(const std::string& word, float duration);
    void playSound(const std::string& soundName, const std::string& modeWord, float volume);
    void setParticles(const std::string& word);
    void setAnimation(const std::string& animationName);

    // One 20 ms tick: motion, sound position, material timer, animation.
    // frames: the parent frames of the pass over every actor.
    void update(ParentFrames& frames);
    // Copies the node's transform to the collision geometry, if any.
    void updateCollisionGeometry(ParentFrames& frames);

    const std::string& getName() const { return name_; }
    Ogre::SceneNode* getNode() const { return node_; }
    Ogre::Entity* getEntity() const { return entity_; }
    Ogre::ParticleSystem* getParticles() const { return particles_; }
    Ogre::AnimationState* getAnimation() const { return animation_; }
    CollisionGeom* getCollisionGeometry() const { return collisionGeometry_; }
    const Ogre::Vector3& getVelocity() const { return velocity_; }
    float getSpinSpeed() const { return spinSpeed_; }
    float getMaterialTimer() const { return materialTimer_; }
    const std::string& getBaseMaterial() const { return baseMaterial_; }
    const std::string& getMeshName() const { return meshName_; }
    bool getAutoOrient() const { return autoOrient_; }
    uint32_t getSoundChannel() const { return soundChannel_; }

private:
    void dispatch(const ActorMessage& message);
    void destroyEntity();
    void createEntity(const std::string& meshName);

    // The collision manager's side of the actor's geometry.
    void removeCollisionGeom();
    void createCollisionGeom(const std::string& meshName, const std::string& spaceName);
    void bindCollisionGeom();

    Ogre::Vector3 velocity_ = Ogre::Vector3::ZERO;  // units per second
    Ogre::Vector3 spinAxis_ = Ogre::Vector3::ZERO;  // not normalised
    Ogre::Node::TransformSpace velocitySpace_ = Ogre::Node::TS_WORLD;
    Ogre::Node::TransformSpace spinSpace_ = Ogre::Node::TS_WORLD;
    // One tick's turn of the spin, made when the spin is set: as the turn
    // about the axis, and normalised for turns about world axes.
    Ogre::Quaternion spinStep_ = Ogre::Quaternion::IDENTITY;
    Ogre::Quaternion spinUnitStep_ = Ogre::Quaternion::IDENTITY;
    std::string meshName_;    // mesh of the current entity, for rebuilding it
    float spinSpeed_ = 0.0f;  // degrees per second
    // Seconds left of a temporary material; counts down 0.05 per tick.
    float materialTimer_ = 0.0f;
    bool autoOrient_ = false;
    Ogre::SceneNode* node_ = nullptr;
    Ogre::AnimationState* animation_ = nullptr;  // belongs to entity_
    CollisionGeom* collisionGeometry_ = nullptr;
    std::string name_;
    std::string baseMaterial_;
    Ogre::Entity* entity_ = nullptr;
    Ogre::ParticleSystem* particles_ = nullptr;
    uint32_t soundChannel_ = 0;  // 0: no channel
    const WorldLinks& links_;
    Ogre::SceneManager* sceneMgr_;
};

// Transform space selected by a velocity or spin frame word.
Ogre::Node::TransformSpace motionSpace(const std::string& frameWord);

}  // namespace vantor
