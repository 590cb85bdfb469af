#include "collision/CollisionRay.h"

namespace vantor {

CollisionRay::CollisionRay() : ray_(dCreateRay(nullptr, 1.0)) {
    // Tests report the nearest contact only. Asking ODE for just that one
    // lets the mesh colliders skip farther triangles, and a ray through more
    // surfaces than the contact buffer holds still finds the nearest one.
    dGeomRaySetClosestHit(ray_, 1);
}

CollisionRay::~CollisionRay() {
    dGeomDestroy(ray_);
}

void CollisionRay::set(const Ogre::Vector3& origin, const Ogre::Vector3& direction, float length) {
    origin_ = origin;
    // Scripts mostly cast many rays in one direction (down onto the ground):
    // moving the ray spares ODE normalising the same direction again.
    if (direction == direction_) {
        dGeomSetPosition(ray_, origin.x, origin.y, origin.z);
    } else {
        dGeomRaySet(ray_, origin.x, origin.y, origin.z, direction.x, direction.y, direction.z);
        direction_ = direction;
    }
    if (length != length_) {
        dGeomRaySetLength(ray_, length);
        length_ = length;
    }
}

}  // namespace vantor
