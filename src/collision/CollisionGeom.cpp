#include "collision/CollisionGeom.h"

#include <OgreSceneNode.h>

#include "collision/CollisionMesh.h"
#include "collision/CollisionMgr.h"
#include "core/Log.h"
#include "core/NodeTransform.h"

namespace vantor {

namespace {
const char* const kUpdateWithoutNode = "ERROR. Update called on geom with no scenenode associated";
}

CollisionGeom::CollisionGeom(const CollisionMesh& mesh, CollisionMgr* manager)
    : geom_(dCreateTriMesh(nullptr, mesh.data(), nullptr, nullptr, nullptr)),
      mesh_(&mesh),
      manager_(manager) {
    dGeomSetData(geom_, nullptr);
}

CollisionGeom::~CollisionGeom() {
    dGeomDestroy(geom_);
}

void CollisionGeom::setNode(Ogre::SceneNode* node) {
    node_ = node;
    dGeomSetData(geom_, node);
    noteChange();
}

void CollisionGeom::noteChange() {
    if (manager_) {
        changedAt_ = manager_->noteChange(geom_);
    }
}

void CollisionGeom::update() {
    ParentFrames frames;
    update(frames);
}

void CollisionGeom::update(ParentFrames& frames) {
    if (!node_) {
        log(kUpdateWithoutNode);
        return;
    }
    // Composed afresh from the ancestors: OGRE's cached world transform of a
    // node below a moved parent is refreshed only when a frame is drawn.
    const WorldTransform world = worldTransform(node_, frames);
    if (manager_ && manager_->isWalking()) {
        // ODE aborts on moving a geom of a space it is walking.
        const Ogre::Vector3 position = world.position;
        const Ogre::Quaternion orientation = world.orientation;
        manager_->afterWalk([this, position, orientation] { place(position, orientation); });
        return;
    }
    place(world.position, world.orientation);
}

void CollisionGeom::place(const Ogre::Vector3& position, const Ogre::Quaternion& orientation) {
    previousPosition_ = placed_ ? position_ : position;
    previousOrientation_ = placed_ ? orientation_ : orientation;
    if (!placed_ || position != position_ || orientation != orientation_) {
        noteChange();
    }
    position_ = position;
    orientation_ = orientation;
    placed_ = true;
    dGeomSetPosition(geom_, position.x, position.y, position.z);
    const dQuaternion q = {orientation.w, orientation.x, orientation.y, orientation.z};
    dGeomSetQuaternion(geom_, q);
}

Ogre::Vector3 CollisionGeom::motionAt(const Ogre::Vector3& point) const {
    const Ogre::Vector3 onMesh = orientation_.Inverse() * (point - position_);
    return point - (previousPosition_ + previousOrientation_ * onMesh);
}

void CollisionGeom::retire() {
    dGeomDisable(geom_);
    setNode(nullptr);  // a change: it leaves every test
}

}  // namespace vantor
