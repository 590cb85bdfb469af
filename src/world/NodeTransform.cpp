#include "world/NodeTransform.h"

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

void translateInWorld(Ogre::Node* node, const Ogre::Vector3& offset) {
    if (const Ogre::Node* parentNode = node->getParent()) {
        const WorldTransform parent = worldTransform(parentNode);
        node->setPosition(node->getPosition() +
                          (parent.orientation.Inverse() * offset) / parent.scale);
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

void rotateInWorld(Ogre::Node* node, const Ogre::Quaternion& rotation) {
    Ogre::Quaternion unit = rotation;
    unit.normalise();
    const Ogre::Quaternion world = worldTransform(node).orientation;
    node->setOrientation(node->getOrientation() * world.Inverse() * unit * world);
}

}  // namespace vantor
