#include "world/Actor.h"

#include <OgreAnimationState.h>
#include <OgreEntity.h>
#include <OgreMath.h>
#include <OgreMeshManager.h>
#include <OgreParticleEmitter.h>
#include <OgreParticleSystem.h>
#include <OgreParticleSystemManager.h>
#include <OgreResourceGroupManager.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>

#include <cmath>
#include <exception>
#include <limits>
#include <utility>

#include "collision/CollisionGeom.h"
#include "collision/CollisionMgr.h"
#include "core/Log.h"
#include "core/NodeTransform.h"
#include "core/Numbers.h"
#include "core/SceneLookup.h"
#include "script/ScriptVM.h"
#include "sound/CSound.h"

namespace vantor {

namespace {

const char* const kNoParentNode = "ERROR. Trying to attach actor to non existing scenenode: ";
const char* const kAttachCycle = "ERROR. Trying to attach actor below its own scenenode: ";
const char* const kNoSceneNode = "ERROR. Trying to set position for actor with no scenenode: ";
const char* const kUnknownType = "Error. Unknown ActorMessageType: ";

// Simulation ticks per second: per-tick motion is the per-second rate / 50.
constexpr float kTicksPerSecond = 50.0f;
// Seconds of simulation time per tick, for the material timer and animations.
constexpr float kTickSeconds = 0.05f;
constexpr float kAnimationStep = 0.02f;
// A material timer at or below this is spent.
constexpr float kTimerEpsilon = 0.00001f;

void rotateIn(Ogre::Node* node, const Ogre::Vector3& axis, Ogre::Radian angle,
              Ogre::Node::TransformSpace space) {
    if (axis.isZeroLength()) {
        return;  // no axis, no turn (a zero axis would make the node's orientation NaN)
    }
    if (space == Ogre::Node::TS_WORLD) {
        rotateInWorld(node, Ogre::Quaternion(angle, axis));
    } else {
        node->rotate(axis, angle, space);
    }
}

bool meshAvailable(const std::string& meshName) {
    return Ogre::MeshManager::getSingleton().resourceExists(meshName) ||
           Ogre::ResourceGroupManager::getSingleton().resourceExistsInAnyGroup(meshName);
}

}  // namespace

Ogre::Node::TransformSpace motionSpace(const std::string& frameWord) {
    if (frameWord == "AddLocal") {
        return Ogre::Node::TS_LOCAL;
    }
    if (frameWord == "AddParent") {
        return Ogre::Node::TS_PARENT;
    }
    return Ogre::Node::TS_WORLD;
}

Actor::Actor(std::string name, const WorldLinks& links)
    : name_(std::move(name)), links_(links), sceneMgr_(&links.scene) {}

Actor::~Actor() {
    try {
        if (soundChannel_ != 0 && links_.sound) {
            links_.sound->stopChannel(soundChannel_);
        }
        if (particles_) {
            sceneMgr_->destroyParticleSystem(particles_);
        }
        if (entity_) {
            sceneMgr_->destroyEntity(entity_);
        }
        if (collisionGeometry_) {
            removeCollisionGeom();
        }
        // Only while the node of the actor's name is still the actor's own.
        if (node_ && findSceneNode(sceneMgr_, name_) == node_) {
            // Nodes a level hung below the actor move up to the actor's parent
            // instead of dropping out of the scene graph: the level teardown
            // then destroys them with the rest of "LevelRoot", and their names
            // are free for the next level. They stay where they are in the
            // world (a flag on a removed platform, the avatar standing on it).
            if (Ogre::SceneNode* parent = node_->getParentSceneNode()) {
                while (node_->numChildren() > 0) {
                    const WorldTransform world = worldTransform(node_->getChild(0));
                    Ogre::Node* child = node_->removeChild(static_cast<unsigned short>(0));
                    parent->addChild(child);
                    setWorldTransform(child, world);
                }
            }
            sceneMgr_->destroySceneNode(node_);
        }
    } catch (const std::exception& e) {
        log("Error: ~Actor(" + name_ + "): " + e.what());
    }
}

void Actor::handleMessage(const ActorMessage& message) {
    // Failures are logged with the message's copy of the name: a Script
    // message may have destroyed this actor by the time it returns.
    try {
        if (message.type == static_cast<int32_t>(ActorMessageType::Script)) {
            runScript(message.word1);
            return;
        }
        dispatch(message);
    } catch (const std::exception& e) {
        log("Error: Actor::handleMessage(" + message.actorName + "): " + e.what());
    }
}

void Actor::dispatch(const ActorMessage& m) {
    switch (static_cast<ActorMessageType>(m.type)) {
        case ActorMessageType::Attach:
            attachTo(m.word1, m.word2);
            return;
        case ActorMessageType::Position:
            setPosition(m.word1, m.vector);
            return;
        case ActorMessageType::Rotation:
            setRotation(m.word1, m.vector, m.number);
            return;
        case ActorMessageType::Entity:
            setEntity(m.word1, m.word2);
            return;
        case ActorMessageType::CollisionGeometry:
            setCollisionGeometry(m.word1, m.word2);
            return;
        case ActorMessageType::Velocity:
            setVelocity(m.vector, m.word1);
            return;
        case ActorMessageType::Spin:
            setSpin(m.vector, m.number, m.word1);
            return;
        case ActorMessageType::Script:
            runScript(m.word1);
            return;
        case ActorMessageType::Material:
            setMaterial(m.word1, m.number);
            return;
        case ActorMessageType::Sound:
            playSound(m.word1, m.word2, m.number);
            return;
        case ActorMessageType::Particles:
            setParticles(m.word1);
            return;
        case ActorMessageType::Animation:
            setAnimation(m.word1);
            return;
    }
    log(kUnknownType + std::to_string(m.type));
}

void Actor::attachTo(const std::string& parentName, const std::string& mode) {
    WorldTransform old;
    if (node_) {
        old = worldTransform(node_);
        if (Ogre::SceneNode* oldParent = node_->getParentSceneNode()) {
            oldParent->removeChild(node_);
        }
    }
    Ogre::SceneNode* parent = findSceneNode(sceneMgr_, parentName);
    if (!parent) {
        log(kNoParentNode + parentName);
        return;
    }
    // The node is detached now, so a chain of parents that reaches it means
    // parentName is the node itself or below it: linking would make a cycle.
    for (Ogre::Node* n = parent; n; n = n->getParent()) {
        if (n == node_) {
            log(kAttachCycle + parentName);
            return;
        }
    }
    if (!node_) {
        if (sceneMgr_->hasSceneNode(name_)) {
            log("Error: Actor::attachTo: a scene node named " + name_ + " exists already");
            return;
        }
        node_ =
            parent->createChildSceneNode(name_, Ogre::Vector3::ZERO, Ogre::Quaternion::IDENTITY);
        if (entity_) {
            node_->attachObject(entity_);
        }
    } else {
        if (mode == "Keep" || mode.empty()) {
            // The old world placement expressed under the new parent; the
            // node's own scale is left as it is.
            const WorldTransform p = worldTransform(parent);
            const Ogre::Quaternion toParent = p.orientation.Inverse();
            node_->setPosition((toParent * (old.position - p.position)) / p.scale);
            node_->setOrientation(toParent * old.orientation);
        }
        parent->addChild(node_);
    }
    bindCollisionGeom();
}

void Actor::setPosition(const std::string& frameWord, const Ogre::Vector3& vector) {
    if (!node_) {
        log(kNoSceneNode + name_);
        return;
    }
    if (frameWord == "MoveLocal") {
        node_->translate(vector, Ogre::Node::TS_LOCAL);
    } else if (frameWord == "MoveParent") {
        node_->translate(vector, Ogre::Node::TS_PARENT);
    } else if (frameWord == "MoveWorld") {
        translateInWorld(node_, vector);
    } else if (frameWord == "SetLocal") {
        node_->setPosition(vector);
    } else {
        setWorldPosition(node_, vector);
    }
}

void Actor::setRotation(const std::string& frameWord, const Ogre::Vector3& axis, float angle) {
    const Ogre::Vector3 unitAxis = axis.normalisedCopy();
    if (!node_) {
        log(kNoSceneNode + name_);
        return;
    }
    const Ogre::Radian radians(angle * Ogre::Math::fDeg2Rad);
    Ogre::Node::TransformSpace space = Ogre::Node::TS_WORLD;
    bool reset = true;
    if (frameWord == "AddLocal") {
        space = Ogre::Node::TS_LOCAL;
        reset = false;
    } else if (frameWord == "AddParent") {
        space = Ogre::Node::TS_PARENT;
        reset = false;
    } else if (frameWord == "AddWorld") {
        reset = false;
    } else if (frameWord == "SetLocal") {
        space = Ogre::Node::TS_LOCAL;
    } else if (frameWord == "SetParent") {
        space = Ogre::Node::TS_PARENT;
    }
    if (reset) {
        node_->setOrientation(Ogre::Quaternion::IDENTITY);
    }
    rotateIn(node_, unitAxis, radians, space);
}

void Actor::setWorldOrientation(const Ogre::Quaternion& orientation) {
    if (!node_) {
        return;
    }
    if (const Ogre::Node* parent = node_->getParent()) {
        node_->setOrientation(worldTransform(parent).orientation.Inverse() * orientation);
    } else {
        node_->setOrientation(orientation);
    }
}

void Actor::destroyEntity() {
    if (!entity_) {
        return;
    }
    if (node_) {
        node_->detachObject(entity_);
    }
    sceneMgr_->destroyEntity(entity_);
    entity_ = nullptr;
    animation_ = nullptr;
}

void Actor::createEntity(const std::string& meshName) {
    if (sceneMgr_->hasEntity(name_)) {
        log("Error: Actor::setEntity: an entity named " + name_ + " exists already");
        return;
    }
    if (!meshAvailable(meshName)) {
        log("Error: Actor::setEntity(" + name_ + "): no mesh named " + meshName);
        return;
    }
    entity_ = sceneMgr_->createEntity(name_, meshName);
    meshName_ = meshName;
    if (node_) {
        node_->attachObject(entity_);
    }
}

void Actor::setEntity(const std::string& meshName, const std::string& flagWord) {
    if (!flagWord.empty() && flagWord[0] == '1') {
        autoOrient_ = true;
    }
    destroyEntity();
    if (meshName.empty()) {
        meshName_.clear();
        return;
    }
    createEntity(meshName);
}

void Actor::setCollisionGeometry(const std::string& meshName, const std::string& spaceName) {
    if (collisionGeometry_) {
        removeCollisionGeom();
    }
    if (meshName.empty()) {
        return;
    }
    createCollisionGeom(meshName, spaceName);
}

void Actor::setVelocity(const Ogre::Vector3& velocity, const std::string& frameWord) {
    velocity_ = velocity;
    velocitySpace_ = motionSpace(frameWord);
    if (node_ && autoOrient_) {
        node_->setFixedYawAxis(true, Ogre::Vector3::UNIT_Y);
        if (velocity != Ogre::Vector3::ZERO) {
            // The node's local -Y axis is its "forward" for moving actors.
            node_->setDirection(velocity * 1000.0f, Ogre::Node::TS_PARENT,
                                Ogre::Vector3::NEGATIVE_UNIT_Y);
        }
    }
}

void Actor::setSpin(const Ogre::Vector3& axis, float speed, const std::string& frameWord) {
    if (node_) {
        // Rounding from earlier spins would otherwise accumulate.
        Ogre::Quaternion orientation = node_->getOrientation();
        orientation.normalise();
        node_->setOrientation(orientation);
    }
    spinAxis_ = axis;
    spinSpeed_ = speed;
    spinSpace_ = motionSpace(frameWord);
    if (!axis.isZeroLength()) {
        spinStep_ =
            Ogre::Quaternion(Ogre::Radian(speed / kTicksPerSecond * Ogre::Math::fDeg2Rad), axis);
        spinUnitStep_ = spinStep_;
        spinUnitStep_.normalise();
    }
}

void Actor::runScript(const std::string& text) {
    links_.lua.executeString(text);
}

void Actor::setMaterial(const std::string& word, float duration) {
    if (!entity_) {
        return;
    }
    if (word == "CastNoShadow") {
        entity_->setCastShadows(false);
        return;
    }
    entity_->setMaterialName(word);
    materialTimer_ = duration;
    if (duration == 0.0f) {
        baseMaterial_ = word;
    }
}

void Actor::playSound(const std::string& soundName, const std::string& modeWord, float volume) {
    CSound* sound = links_.sound;
    if (soundChannel_ != 0) {
        if (sound) {
            sound->stopChannel(soundChannel_);
        }
        soundChannel_ = 0;
    }
    // Without a sound system nothing plays and the channel stays 0.
    if (!soundName.empty() && sound) {
        soundChannel_ =
            sound->play3D(links_.musicDir + soundName, truncateToInt(volume), modeWord == "Loop");
    }
}

void Actor::setParticles(const std::string& word) {
    if (!node_) {
        return;
    }
    if (word == "FadeOut") {
        if (particles_) {
            for (unsigned short i = 0; i < particles_->getNumEmitters(); ++i) {
                particles_->getEmitter(i)->setEnabled(false);
            }
        }
        return;
    }
    if (particles_) {
        sceneMgr_->destroyParticleSystem(particles_);
        particles_ = nullptr;
    }
    if (word.empty()) {
        return;
    }
    const std::string systemName = name_ + "_particle";
    if (!Ogre::ParticleSystemManager::getSingleton().getTemplate(word)) {
        log("Error: Actor::setParticles(" + name_ + "): no particle template named " + word);
        return;
    }
    if (sceneMgr_->hasParticleSystem(systemName)) {
        log("Error: Actor::setParticles: a particle system named " + systemName +
            " exists already");
        return;
    }
    particles_ = sceneMgr_->createParticleSystem(systemName, word);
    node_->attachObject(particles_);
}

void Actor::setAnimation(const std::string& animationName) {
    if (!entity_) {
        return;
    }
    if (animation_) {
        animation_->setEnabled(false);
    }
    if (animationName.empty()) {
        return;
    }
    if (!entity_->hasAnimationState(animationName)) {
        log("Error: Actor::setAnimation(" + name_ + "): no animation named " + animationName);
        return;
    }
    animation_ = entity_->getAnimationState(animationName);
    animation_->setTimePosition(0.0f);
    animation_->setEnabled(true);
}

void Actor::update(ParentFrames& frames) {
    if (!node_) {
        return;
    }
    if (velocity_ != Ogre::Vector3::ZERO) {
        const Ogre::Vector3 offset = velocity_ / kTicksPerSecond;
        if (velocitySpace_ == Ogre::Node::TS_WORLD) {
            translateInWorld(node_, offset, frames);
        } else {
            node_->translate(offset, velocitySpace_);
            frames.moved(node_);
        }
    }
    // A zero axis would make the node's orientation NaN: no axis, no turn.
    if (spinSpeed_ != 0.0f && !spinAxis_.isZeroLength()) {
        if (spinSpace_ == Ogre::Node::TS_WORLD) {
            rotateInWorld(node_, spinUnitStep_, frames);
        } else {
            node_->rotate(spinStep_, spinSpace_);
            frames.moved(node_);
        }
    }
    if (soundChannel_ != 0 && links_.sound) {
        const Ogre::Vector3 p = worldTransform(node_, frames).position;
        links_.sound->setChannelPosition(soundChannel_, p.x, p.y, p.z);
    }
    if (entity_ && materialTimer_ > kTimerEpsilon) {
        materialTimer_ -= kTickSeconds;
        if (materialTimer_ <= kTimerEpsilon) {
            // Rebuilding the entity is the one way to drop every material
            // (and shadow) change made since it was created.
            materialTimer_ = 0.0f;
            const std::string meshName = meshName_;
            destroyEntity();
            createEntity(meshName);
            if (!baseMaterial_.empty()) {
                setMaterial(baseMaterial_, 0.0f);
            }
        }
    }
    if (animation_) {
        animation_->addTime(kAnimationStep);
    }
}

void Actor::updateCollisionGeometry(ParentFrames& frames) {
    if (collisionGeometry_) {
        collisionGeometry_->update(frames);
    }
}

// --- collision manager ------------------------------------------------------
// The geometry is owned by the collision manager and registered under the
// actor's name; the actor only keeps the pointer.

void Actor::removeCollisionGeom() {
    links_.collision.removeGeom(name_);
    collisionGeometry_ = nullptr;
}

void Actor::createCollisionGeom(const std::string& meshName, const std::string& spaceName) {
    CollisionMgr& mgr = links_.collision;
    collisionGeometry_ = mgr.createGeom(name_, meshName);
    if (!collisionGeometry_) {
        log("Error: Actor::setCollisionGeometry(" + name_ + "): no collision mesh from " +
            meshName);
        return;
    }
    if (node_) {
        collisionGeometry_->setNode(node_);
    }
    mgr.addGeomToSpace(spaceName, collisionGeometry_);
}

void Actor::bindCollisionGeom() {
    if (collisionGeometry_) {
        collisionGeometry_->setNode(node_);
        collisionGeometry_->update();
    }
}

}  // namespace vantor
