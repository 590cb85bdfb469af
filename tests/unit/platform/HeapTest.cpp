// The allocator policy is process-wide, so these tests set it the way the
// engine does and then check glibc's resulting behaviour directly: where a
// large block ends up, and how much resident memory a trim gives back.

#include <gtest/gtest.h>
#include <malloc.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "platform/Heap.h"

namespace vantor {
namespace {

constexpr size_t kMiB = 1024 * 1024;

// AddressSanitizer brings its own allocator, which ignores glibc's tuning.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kGlibcAllocator = false;
#else
constexpr bool kGlibcAllocator = true;
#endif

// Writes the block and hides the pointer from the optimiser, so the
// allocation really happens and its pages are resident.
void* touchedBlock(size_t bytes) {
    void* block = std::malloc(bytes);
    if (block) {
        std::memset(block, 0x5a, bytes);
    }
    asm volatile("" : : "r"(block) : "memory");
    return block;
}

long residentAnonKb() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "RssAnon:") {
            long kb = 0;
            status >> kb;
            return kb;
        }
        status.ignore(1024, '\n');
    }
    return -1;
}

TEST(Heap, FreeingAHugeBlockKeepsLaterLargeBlocksInTheirOwnMappings) {
    if (!kGlibcAllocator) {
        GTEST_SKIP() << "the sanitizer's allocator replaces glibc's";
    }
    platform::fixAllocatorThresholds();
    // With glibc's dynamic threshold, freeing this mapped block would raise
    // the threshold to its size and put the next large block in the heap.
    std::free(touchedBlock(24 * kMiB));

    const size_t mappedBefore = mallinfo2().hblks;
    void* large = touchedBlock(16 * kMiB);
    ASSERT_NE(large, nullptr);
    const size_t mappedWith = mallinfo2().hblks;
    std::free(large);

    EXPECT_EQ(mappedWith, mappedBefore + 1);
    EXPECT_EQ(mallinfo2().hblks, mappedBefore);
}

TEST(Heap, ReleaseReturnsFreePagesBetweenBlocksStillInUse) {
    if (!kGlibcAllocator) {
        GTEST_SKIP() << "the sanitizer's allocator replaces glibc's";
    }
    platform::fixAllocatorThresholds();
    // 32 MiB of heap blocks; every sixteenth stays allocated, so the freed
    // space lies in holes that free() itself cannot give back.
    constexpr size_t kBlock = 64 * 1024;
    std::vector<void*> blocks;
    for (int i = 0; i < 512; ++i) {
        blocks.push_back(touchedBlock(kBlock));
        ASSERT_NE(blocks.back(), nullptr);
    }
    for (size_t i = 0; i < blocks.size(); ++i) {
        if (i % 16 != 15) {
            std::free(blocks[i]);
            blocks[i] = nullptr;
        }
    }

    const long before = residentAnonKb();
    platform::releaseFreeHeap();
    const long after = residentAnonKb();
    for (void* block : blocks) {
        std::free(block);
    }

    ASSERT_GT(before, 0);
    // 30 MiB were freed; allow for pages that share a block still in use.
    EXPECT_GT(before - after, 24 * 1024) << "before " << before << " kB, after " << after << " kB";
}

}  // namespace
}  // namespace vantor
