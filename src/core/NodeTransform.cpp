#include "core/NodeTransform.h"

#include <OgreNode.h>

namespace vantor {

namespace {

// The node's world transform under a parent whose world transform is parent.
WorldTransform composed(const Ogre::Node* node, const WorldTransform& parent) {
    WorldTransform world;
    world.orientation = node->getInheritOrientation() ? parent.orientation * node->getOrientation()
                                                      : node->getOrientation();
    world.scale = node->getInheritScale() ? parent.scale * node->getScale() : node->getScale();
    world.position = parent.orientation * (parent.scale * node->getPosition()) + parent.position;
    return world;
}

WorldTransform local(const Ogre::Node* node) {
    WorldTransform world;
    world.position = node->getPosition();
    world.orientation = node->getOrientation();
    world.scale = node->getScale();
    return world;
}

}  // namespace

WorldTransform worldTransform(const Ogre::Node* node) {
    const Ogre::Node* parentNode = node->getParent();
    return parentNode ? composed(node, worldTransform(parentNode)) : local(node);
}

WorldTransform worldTransform(const Ogre::Node* node, ParentFrames& frames) {
    const Ogre::Node* parentNode = node->getParent();
    return parentNode ? composed(node, frames.transform(parentNode)) : local(node);
}

const ParentFrames::Motion& ParentFrames::motion(const Ogre::Node* parent) {
    if (parent != motionNode_) {
        motion_.orientation = worldOrientation(parent);
        motion_.inverse = motion_.orientation.Inverse();
        motion_.scale = worldScale(parent);
        motion_.plain = motion_.orientation == Ogre::Quaternion::IDENTITY &&
                        motion_.scale == Ogre::Vector3::UNIT_SCALE;
        motionNode_ = parent;
    }
    return motion_;
}

const WorldTransform& ParentFrames::transform(const Ogre::Node* parent) {
    if (parent != transformNode_) {
        transform_ = worldTransform(parent);
        transformNode_ = parent;
    }
    return transform_;
}

void ParentFrames::moved(const Ogre::Node* node) {
    if (node->numChildren() > 0) {
        motionNode_ = nullptr;
        transformNode_ = nullptr;
    }
}

Ogre::Quaternion worldOrientation(const Ogre::Node* node) {
    Ogre::Quaternion orientation = node->getOrientation();
    for (const Ogre::Node* n = node; n->getInheritOrientation() && n->getParent();) {
        n = n->getParent();
        orientation = n->getOrientation() * orientation;
    }
    return orientation;
}

Ogre::Vector3 worldScale(const Ogre::Node* node) {
    Ogre::Vector3 scale = node->getScale();
    for (const Ogre::Node* n = node; n->getInheritScale() && n->getParent();) {
        n = n->getParent();
        scale = n->getScale() * scale;
    }
    return scale;
}

void translateInWorld(Ogre::Node* node, const Ogre::Vector3& offset) {
    ParentFrames frames;
    translateInWorld(node, offset, frames);
}

void translateInWorld(Ogre::Node* node, const Ogre::Vector3& offset, ParentFrames& frames) {
    const Ogre::Node* parentNode = node->getParent();
    const ParentFrames::Motion* parent = parentNode ? &frames.motion(parentNode) : nullptr;
    if (parent && !parent->plain) {
        node->setPosition(node->getPosition() + (parent->inverse * offset) / parent->scale);
    } else {
        node->setPosition(node->getPosition() + offset);
    }
    frames.moved(node);
}

void setWorldPosition(Ogre::Node* node, const Ogre::Vector3& position) {
    if (const Ogre::Node* parentNode = node->getParent()) {
        const WorldTransform parent = worldTransform(parentNode);
        node->setPosition((parent.orientation.Inverse() * (position - parent.position)) /
                          parent.scale);
    } else {
        node->setPosition(position);
    }
}

void setWorldTransform(Ogre::Node* node, const WorldTransform& world) {
    const Ogre::Node* parentNode = node->getParent();
    if (!parentNode) {
        node->setPosition(world.position);
        node->setOrientation(world.orientation);
        node->setScale(world.scale);
        return;
    }
    const WorldTransform parent = worldTransform(parentNode);
    const Ogre::Quaternion toParent = parent.orientation.Inverse();
    node->setPosition((toParent * (world.position - parent.position)) / parent.scale);
    node->setOrientation(node->getInheritOrientation() ? toParent * world.orientation
                                                       : world.orientation);
    node->setScale(node->getInheritScale() ? world.scale / parent.scale : world.scale);
}

void rotateInWorld(Ogre::Node* node, const Ogre::Quaternion& rotation) {
    Ogre::Quaternion unit = rotation;
    unit.normalise();
    ParentFrames frames;
    rotateInWorld(node, unit, frames);
}

void rotateInWorld(Ogre::Node* node, const Ogre::Quaternion& unitRotation, ParentFrames& frames) {
    // With W = P * L (parent's world orientation times the local one), the
    // new local orientation L * W^-1 * U * W reduces to P^-1 * U * P * L.
    const Ogre::Node* parentNode = node->getParent();
    const ParentFrames::Motion* parent =
        parentNode && node->getInheritOrientation() ? &frames.motion(parentNode) : nullptr;
    if (parent && !parent->plain) {
        node->setOrientation(parent->inverse * unitRotation * parent->orientation *
                             node->getOrientation());
    } else {
        node->setOrientation(unitRotation * node->getOrientation());
    }
    frames.moved(node);
}

}  // namespace vantor
