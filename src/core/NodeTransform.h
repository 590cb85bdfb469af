#pragma once

#include <OgreQuaternion.h>
#include <OgreVector.h>

namespace Ogre {
class Node;
}

namespace vantor {

// A node's placement in world space.
struct WorldTransform {
    Ogre::Vector3 position = Ogre::Vector3::ZERO;
    Ogre::Quaternion orientation = Ogre::Quaternion::IDENTITY;
    Ogre::Vector3 scale = Ogre::Vector3::UNIT_SCALE;
};

// Transform helpers that read the scene graph as it is now. OGRE caches each
// node's world transform and refreshes a child's cache only in the scene-graph
// update before rendering, so after an ancestor moved its _getDerived* values
// (and its own TS_WORLD translate and rotate, which use them) lag behind until
// the next frame is drawn. Scripts and ticks move and read nodes in between.

// Composed from the local transforms of the node and its ancestors, with the
// same inheritance rules OGRE applies.
WorldTransform worldTransform(const Ogre::Node* node);

// The orientation and scale parts alone, for the per-tick motion that needs
// no positions: a walk up the ancestors that stops where inheritance does.
Ogre::Quaternion worldOrientation(const Ogre::Node* node);
Ogre::Vector3 worldScale(const Ogre::Node* node);

// The world frames of the parents that a pass over many nodes moves them
// under, each composed once and reused for every sibling. Moving a node
// without children changes no other node's world transform, so the frames
// stay valid until a node with children moves: report every move with
// moved(). The values are exactly those of worldOrientation(), worldScale()
// and worldTransform(), so a pass gives the same results with or without it.
class ParentFrames {
public:
    struct Motion {
        Ogre::Quaternion orientation;  // worldOrientation(parent)
        Ogre::Quaternion inverse;      // its inverse
        Ogre::Vector3 scale;           // worldScale(parent)
        // Neither turned nor scaled (a level's root, mostly): world axes are
        // the parent's, and composing with the frame changes no value.
        bool plain = false;
    };
    const Motion& motion(const Ogre::Node* parent);
    const WorldTransform& transform(const Ogre::Node* parent);
    // Call after node's local transform changed.
    void moved(const Ogre::Node* node);

private:
    const Ogre::Node* motionNode_ = nullptr;
    Motion motion_;
    const Ogre::Node* transformNode_ = nullptr;
    WorldTransform transform_;
};

// worldTransform() with the ancestors' part taken from frames.
WorldTransform worldTransform(const Ogre::Node* node, ParentFrames& frames);

// Moves the node by offset, given in world axes.
void translateInWorld(Ogre::Node* node, const Ogre::Vector3& offset);
void translateInWorld(Ogre::Node* node, const Ogre::Vector3& offset, ParentFrames& frames);

// Places the node at position, given in world coordinates.
void setWorldPosition(Ogre::Node* node, const Ogre::Vector3& position);

// Gives the node the local transform that places it at world under its
// current parent, within its inheritance settings.
void setWorldTransform(Ogre::Node* node, const WorldTransform& world);

// Rotates the node by rotation about world axes, keeping its position.
void rotateInWorld(Ogre::Node* node, const Ogre::Quaternion& rotation);
// The same with a rotation already normalised.
void rotateInWorld(Ogre::Node* node, const Ogre::Quaternion& unitRotation, ParentFrames& frames);

}  // namespace vantor
