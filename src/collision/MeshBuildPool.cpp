#include "collision/MeshBuildPool.h"

#include <algorithm>
#include <system_error>

#include "collision/CollisionMesh.h"

namespace vantor {

MeshBuildPool::MeshBuildPool(unsigned threads) : threads_(std::max(threads, 1u)) {}

MeshBuildPool::~MeshBuildPool() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    // A worker leaves only once the queue is empty, so every mesh submitted
    // is built before its owner can free it.
    for (std::thread& worker : workers_) {
        worker.join();
    }
}

unsigned MeshBuildPool::defaultThreads() {
    return std::max(std::thread::hardware_concurrency(), 1u);
}

void MeshBuildPool::submit(CollisionMesh& mesh) {
    if (threads_ == 1) {
        mesh.build();
        return;
    }
    bool buildHere = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(&mesh);
        // Started on demand: a level without meshes costs no thread.
        if (workers_.size() < std::min<size_t>(threads_, queue_.size() + running_)) {
            try {
                workers_.emplace_back([this] { work(); });
            } catch (const std::system_error&) {
                // No thread to be had: with no worker at all, nobody else
                // would ever take the mesh.
                if (workers_.empty()) {
                    queue_.pop_back();
                    buildHere = true;
                }
            }
        }
    }
    if (buildHere) {
        mesh.build();
        return;
    }
    wake_.notify_one();
}

void MeshBuildPool::waitAll() {
    std::unique_lock<std::mutex> lock(mutex_);
    idle_.wait(lock, [this] { return queue_.empty() && running_ == 0; });
}

void MeshBuildPool::work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (queue_.empty()) {
            return;  // stopping, nothing left
        }
        CollisionMesh* mesh = queue_.front();
        queue_.pop_front();
        ++running_;
        lock.unlock();
        mesh->build();  // catches whatever the builder throws
        lock.lock();
        --running_;
        if (queue_.empty() && running_ == 0) {
            idle_.notify_all();
        }
    }
}

}  // namespace vantor
