#include "collision/OdeRuntime.h"

#include <ode/ode.h>

#include <cstdlib>

namespace vantor {

void ensureOdeInitialised() {
    // Function-local static: initialised exactly once, on first use, on the main thread.
    static const bool initialised = [] {
        dInitODE2(0);
        // The trimesh colliders keep per-thread caches; the main thread is the only caller.
        dAllocateODEDataForThread(dAllocateMaskAll);
        std::atexit(dCloseODE);
        return true;
    }();
    (void)initialised;
}

}  // namespace vantor
