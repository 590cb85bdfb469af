#include "collision/CollisionGeom.h"

#include <OgreSceneNode.h>

#include "app/Log.h"
#include "app/NodeTransform.h"
#include "collision/CollisionMesh.h"

namespace vantor {

namespace {
const char* const kUpdateWithoutNode = "ERROR. Update called on geom with no scenenode associated";
}

CollisionGeom::CollisionGeom(const CollisionMesh& mesh)
    : geom_(dCreateTriMesh(nullptr, mesh.data(), nullptr, nullptr, nullptr)) {
    dGeomSetData(geom_, nullptr);
}

CollisionGeom::~CollisionGeom() {
    dGeomDestroy(geom_);
}

void CollisionGeom::setNode(Ogre::SceneNode* node) {
    node_ = node;
    dGeomSetData(geom_, node);
}

void CollisionGeom::update() {
    if (!node_) {
        log(kUpdateWithoutNode);
        return;
    }
    // Composed afresh from the ancestors: OGRE's cached world transform of a
    // node below a moved parent is refreshed only when a frame is drawn.
    const WorldTransform world = worldTransform(node_);
    const Ogre::Vector3& position = world.position;
    const Ogre::Quaternion& orientation = world.orientation;
    dGeomSetPosition(geom_, position.x, position.y, position.z);
    const dQuaternion q = {orientation.w, orientation.x, orientation.y, orientation.z};
    dGeomSetQuaternion(geom_, q);
}

}  // namespace vantor
