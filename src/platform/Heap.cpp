#include "platform/Heap.h"

#include <malloc.h>

namespace vantor::platform {

namespace {

// glibc's own starting value; fixing it is what matters, not the size.
constexpr int kMmapThresholdBytes = 128 * 1024;
// Large enough that a frame's temporary buffers do not move the heap's top
// up and down (a few brk calls per frame at glibc's 128 KiB), small enough
// that a level load leaves little free memory resident at the top.
constexpr int kTrimThresholdBytes = 4 * 1024 * 1024;

}  // namespace

void fixAllocatorThresholds() {
    // Setting either value explicitly also turns off glibc's dynamic
    // adjustment of both.
    mallopt(M_MMAP_THRESHOLD, kMmapThresholdBytes);
    mallopt(M_TRIM_THRESHOLD, kTrimThresholdBytes);
}

void releaseFreeHeap() {
    malloc_trim(0);
}

}  // namespace vantor::platform
