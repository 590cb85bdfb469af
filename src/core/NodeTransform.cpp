#include "core/NodeTransform.h"

#include <OgreNode.h>

namespace vantor {

WorldTransform worldTransform(const Ogre::Node* node) {
    WorldTransform local;
    local.position = node->getPosition();
    local.orientation = node->getOrientation();
    local.scale = node->getScale();
    const Ogre::Node* parentNode = node->getParent();
    if (!parentNode) {
        return local;
    }
    const WorldTransform parent = worldTransform(parentNode);
    WorldTransform world;
    world.orientation =
        node->getInheritOrientation() ? parent.orientation * local.orientation : local.orientation;
    world.scale = node->getInheritScale() ? parent.scale * local.scale : local.scale;
    world.position = parent.orientation * (parent.scale * local.position) + parent.position;
    return world;
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
    if (const Ogre::Node* parentNode = node->getParent()) {
        node->setPosition(node->getPosition() + (worldOrientation(parentNode).Inverse() * offset) /
                                                    worldScale(parentNode));
    } else {
        node->setPosition(node->getPosition() + offset);
    }
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
    // With W = P * L (parent's world orientation times the local one), the
    // new local orientation L * W^-1 * U * W reduces to P^-1 * U * P * L.
    const Ogre::Node* parentNode = node->getParent();
    if (!parentNode || !node->getInheritOrientation()) {
        node->setOrientation(unit * node->getOrientation());
        return;
    }
    const Ogre::Quaternion parent = worldOrientation(parentNode);
    node->setOrientation(parent.Inverse() * unit * parent * node->getOrientation());
}

}  // namespace vantor
