#pragma once

#include <ode/collision.h>

namespace vantor {

// One named ODE simple space. Its clean-up mode is 0: destroying it only
// detaches the geoms and child spaces inside it, which the collision manager
// owns and destroys itself.
class CollisionSpace {
public:
    // parent: the ODE space this one is created in, or null for a top-level space.
    explicit CollisionSpace(dSpaceID parent);
    ~CollisionSpace();
    CollisionSpace(const CollisionSpace&) = delete;
    CollisionSpace& operator=(const CollisionSpace&) = delete;

    dSpaceID space() const { return space_; }

    // The collision manager's change count when something inside this space
    // (or a space within it) last changed.
    unsigned long long changedAt() const { return changedAt_; }
    void setChangedAt(unsigned long long count) { changedAt_ = count; }

private:
    dSpaceID space_;
    unsigned long long changedAt_ = 0;
};

}  // namespace vantor
