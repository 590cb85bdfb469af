#pragma once

#include <ode/collision.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Ogre {
class Mesh;
}

namespace vantor {

// ODE triangle-mesh data built from one rendering mesh, shared by every geom
// made from the same mesh name. ODE keeps pointers into the two arrays instead
// of copying them, so they live exactly as long as the triangle data and the
// object can be neither copied nor moved.
class CollisionMesh {
public:
    // vertices: x, y, z and one unused float per vertex (ODE reads a 16-byte stride).
    // indices: three vertex indices per triangle, all below the vertex count.
    // The data is built at once unless buildNow is false; then build() must
    // run (on any one thread) before ODE tests a geom of this data.
    CollisionMesh(std::vector<float> vertices, std::vector<uint32_t> indices, bool buildNow = true);
    ~CollisionMesh();
    CollisionMesh(const CollisionMesh&) = delete;
    CollisionMesh& operator=(const CollisionMesh&) = delete;

    // Reads every submesh of the mesh into one vertex and one index array, the
    // positions multiplied by scale, and leaves the build to the caller.
    // Returns null (after one log line) when the mesh has no readable float
    // position element or no triangle at all.
    static std::unique_ptr<CollisionMesh> fromMesh(Ogre::Mesh& mesh, float scale);

    // Builds ODE's tree over the arrays; the bulk of a mesh's first load.
    // Safe on a worker thread while other threads use other meshes. Whatever
    // the builder throws is kept for failed(), never rethrown.
    void build() noexcept;
    // After build(): whether it threw. The first call on a failed mesh logs
    // why, naming the mesh. Main thread.
    bool failed();

    // A geom may be made from the data before it is built: dCreateTriMesh
    // only keeps the pointer.
    dTriMeshDataID data() const { return data_; }
    const std::vector<float>& vertices() const { return vertices_; }
    const std::vector<uint32_t>& indices() const { return indices_; }
    int vertexCount() const { return static_cast<int>(vertices_.size() / 4); }
    int indexCount() const { return static_cast<int>(indices_.size()); }

private:
    std::vector<float> vertices_;
    std::vector<uint32_t> indices_;
    dTriMeshDataID data_ = nullptr;
    std::string name_;     // of the rendering mesh, for the log
    std::string failure_;  // what the build threw; written by build() only
    bool failed_ = false;
    bool reported_ = false;
};

}  // namespace vantor
