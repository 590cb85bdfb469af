#include "collision/CollisionRay.h"

namespace vantor {

CollisionRay::CollisionRay() : ray_(dCreateRay(nullptr, 1.0)) {}

CollisionRay::~CollisionRay() {
    dGeomDestroy(ray_);
}

void CollisionRay::set(const Ogre::Vector3& origin, const Ogre::Vector3& direction, float length) {
    origin_ = origin;
    dGeomRaySet(ray_, origin.x, origin.y, origin.z, direction.x, direction.y, direction.z);
    dGeomRaySetLength(ray_, length);
}

}  // namespace vantor
