#pragma once

#include <ode/collision.h>

namespace Ogre {
class SceneNode;
}

namespace vantor {

class CollisionMesh;

// One owner's triangle-mesh geom. It has no body and is never simulated: it
// follows its scene node, which is also its ODE user data so that queries can
// name what they hit.
class CollisionGeom {
public:
    // Creates the geom in no space. mesh must outlive the geom (the collision
    // manager destroys geoms before meshes).
    explicit CollisionGeom(const CollisionMesh& mesh);
    ~CollisionGeom();  // destroys the geom, which also takes it out of its space
    CollisionGeom(const CollisionGeom&) = delete;
    CollisionGeom& operator=(const CollisionGeom&) = delete;

    // node: not owned; its owner must unbind or remove the geom before destroying it.
    void setNode(Ogre::SceneNode* node);
    // Copies the node's world position and orientation to the geom. The node's
    // scale is not applied: the geom keeps the mesh's own size.
    void update();

    dGeomID geom() const { return geom_; }
    Ogre::SceneNode* node() const { return node_; }

private:
    dGeomID geom_;
    Ogre::SceneNode* node_ = nullptr;
};

}  // namespace vantor
