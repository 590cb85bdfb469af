#pragma once

namespace vantor::platform {

// The engine builds and destroys a whole application per restart in one
// process, so the C allocator sees the same large working set come and go many
// times. These two calls keep that from ratcheting the resident size up.

// Fixes glibc's mmap and trim thresholds for the whole process. By default
// glibc raises the mmap threshold each time a large mapped block is freed;
// from then on image, mesh and script buffers come from the main heap, in
// between small blocks that outlive the application, and the next application
// cannot fit its own buffers into those holes and extends the heap instead.
// With the threshold fixed, blocks of 128 KiB and more that find no free heap
// space get mappings of their own, which go back to the system when freed.
// The trim threshold (4 MiB) keeps the heap's top from being returned and
// taken back every frame; releaseFreeHeap() trims between applications.
// Call once, before the first application.
void fixAllocatorThresholds();

// Hands free heap pages back to the system, including free pages between
// blocks still in use. The teardown of an application, and a level load in
// an application built by a restart, free megabytes in the middle of the
// heap that would otherwise stay resident until reused; called after each.
// Takes about a millisecond.
void releaseFreeHeap();

}  // namespace vantor::platform
