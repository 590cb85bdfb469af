#include "collision/CollisionGeom.h"

#include <OgreSceneNode.h>

#include "app/Log.h"
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
    const Ogre::Vector3& position = node_->_getDerivedPosition();
    const Ogre::Quaternion& orientation = node_->_getDerivedOrientation();
    dGeomSetPosition(geom_, position.x, position.y, position.z);
    const dQuaternion q = {orientation.w, orientation.x, orientation.y, orientation.z};
    dGeomSetQuaternion(geom_, q);
}

}  // namespace vantor
