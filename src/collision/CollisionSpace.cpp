#include "collision/CollisionSpace.h"

namespace vantor {

CollisionSpace::CollisionSpace(dSpaceID parent) : space_(dSimpleSpaceCreate(parent)) {
    dSpaceSetCleanup(space_, 0);
}

CollisionSpace::~CollisionSpace() {
    dSpaceDestroy(space_);
}

}  // namespace vantor
