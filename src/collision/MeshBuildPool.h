#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace vantor {

class CollisionMesh;

// Builds the ODE triangle data of collision meshes on worker threads, so that
// the trees of several meshes a level loads grow on every core at once. Only
// ODE's builder runs on the workers, each on its own mesh's data, which
// touches no state shared with other builds or with ODE's colliders (see
// "Several meshes on several cores" in docs/performance.md); reading OGRE's
// buffers stays on the main thread. Submit and wait from the main thread only.
class MeshBuildPool {
public:
    // threads: how many meshes build at once. 1 (or 0) builds each mesh on
    // the submitting thread before submit returns, with no worker at all.
    explicit MeshBuildPool(unsigned threads);
    // Finishes every submitted build, then stops the workers.
    ~MeshBuildPool();
    MeshBuildPool(const MeshBuildPool&) = delete;
    MeshBuildPool& operator=(const MeshBuildPool&) = delete;

    // mesh (not owned) must stay alive and untouched by ODE until waitAll()
    // returned. Workers start with the first submit.
    void submit(CollisionMesh& mesh);
    // Returns once every build submitted so far has finished.
    void waitAll();
    unsigned threads() const { return threads_; }

    // One per core, at least 1.
    static unsigned defaultThreads();

private:
    void work();

    unsigned threads_;
    std::mutex mutex_;
    std::condition_variable wake_;  // a build queued, or stopping
    std::condition_variable idle_;  // the last build finished
    std::deque<CollisionMesh*> queue_;
    size_t running_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

}  // namespace vantor
