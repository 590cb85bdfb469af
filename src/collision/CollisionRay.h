#pragma once

#include <OgreVector.h>
#include <ode/collision.h>

namespace vantor {

// The one ODE ray geom that every ray test re-aims. It lies in no space, so it
// only collides when a test hands it to ODE.
class CollisionRay {
public:
    CollisionRay();  // length 1 until the first set()
    ~CollisionRay();
    CollisionRay(const CollisionRay&) = delete;
    CollisionRay& operator=(const CollisionRay&) = delete;

    // direction need not be normalised; length is in world units.
    void set(const Ogre::Vector3& origin, const Ogre::Vector3& direction, float length);

    const Ogre::Vector3& origin() const { return origin_; }
    dGeomID geom() const { return ray_; }

private:
    Ogre::Vector3 origin_ = Ogre::Vector3::ZERO;
    // As last handed to ODE; zero (which no ray is aimed with) until the first set().
    Ogre::Vector3 direction_ = Ogre::Vector3::ZERO;
    float length_ = 1.0f;  // as last handed to ODE; scripts mostly reuse one length
    dGeomID ray_;
};

}  // namespace vantor
