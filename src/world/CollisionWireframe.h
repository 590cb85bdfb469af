#pragma once

#include <string>

namespace Ogre {
class ManualObject;
class SceneManager;
}  // namespace Ogre

namespace vantor {

class CollisionMgr;

// F4: every triangle mesh of every collision space drawn as lines where ODE
// has it now, one colour per space, so walls, floors and trigger volumes show
// where they really are. Hangs below the root scene node, outside the level,
// so level loads leave it alone.
class CollisionWireframe {
public:
    CollisionWireframe(Ogre::SceneManager& scene, CollisionMgr& collision);
    ~CollisionWireframe();  // removes the lines from the scene
    CollisionWireframe(const CollisionWireframe&) = delete;
    CollisionWireframe& operator=(const CollisionWireframe&) = delete;

    // Draws the geometry as it is now; once per frame, as geoms move.
    void update();
    // Triangles drawn by the last update.
    int getTriangleCount() const { return triangles_; }

private:
    Ogre::SceneManager& scene_;
    CollisionMgr& collision_;
    Ogre::ManualObject* lines_ = nullptr;  // owned by the scene manager
    int triangles_ = 0;
};

}  // namespace vantor
