#pragma once

#include <ode/collision.h>

#include <OgreQuaternion.h>
#include <OgreVector.h>

namespace Ogre {
class SceneNode;
}

namespace vantor {

class CollisionMesh;
class CollisionMgr;
class ParentFrames;

// One owner's triangle-mesh geom. It has no body and is never simulated: it
// follows its scene node, which is also its ODE user data so that queries can
// name what they hit.
class CollisionGeom {
public:
    // Creates the geom in no space. mesh must outlive the geom (the collision
    // manager destroys geoms before meshes). manager (not owned, may be null)
    // is the one whose walks of spaces a move of the geom must wait for.
    explicit CollisionGeom(const CollisionMesh& mesh, CollisionMgr* manager = nullptr);
    ~CollisionGeom();  // destroys the geom, which also takes it out of its space
    CollisionGeom(const CollisionGeom&) = delete;
    CollisionGeom& operator=(const CollisionGeom&) = delete;

    // node: not owned; its owner must unbind or remove the geom before destroying it.
    void setNode(Ogre::SceneNode* node);
    // Copies the node's world position and orientation to the geom. The node's
    // scale is not applied: the geom keeps the mesh's own size. While the
    // manager walks a space, the placement is applied when the walk ends.
    void update();
    // The same with the ancestors' part taken from the frames of a pass.
    void update(ParentFrames& frames);
    // Takes the geom out of every test for good: disabled and bound to no
    // node. For a geom whose destruction has to wait for the end of a walk.
    void retire();

    // How far the surface point now at `point` (world) moved in the geom's
    // last placement; zero before the second one. The simulation places
    // every actor's geom once per tick, so this is its motion in the tick.
    Ogre::Vector3 motionAt(const Ogre::Vector3& point) const;

    dGeomID geom() const { return geom_; }
    const CollisionMesh& mesh() const { return *mesh_; }
    Ogre::SceneNode* node() const { return node_; }
    // The manager's change count when this geom last moved, was bound to
    // another node or retired.
    unsigned long long changedAt() const { return changedAt_; }

private:
    void place(const Ogre::Vector3& position, const Ogre::Quaternion& orientation);
    // Tells the manager that tests involving this geom may answer differently.
    void noteChange();

    dGeomID geom_;
    const CollisionMesh* mesh_;
    CollisionMgr* manager_;
    Ogre::SceneNode* node_ = nullptr;
    unsigned long long changedAt_ = 0;
    // The last two placements handed to ODE.
    bool placed_ = false;
    Ogre::Vector3 position_ = Ogre::Vector3::ZERO;
    Ogre::Quaternion orientation_ = Ogre::Quaternion::IDENTITY;
    Ogre::Vector3 previousPosition_ = Ogre::Vector3::ZERO;
    Ogre::Quaternion previousOrientation_ = Ogre::Quaternion::IDENTITY;
};

}  // namespace vantor
