#include "collision/CollisionMesh.h"

#include <OgreHardwareBuffer.h>
#include <OgreHardwareIndexBuffer.h>
#include <OgreHardwareVertexBuffer.h>
#include <OgreMesh.h>
#include <OgreSubMesh.h>

#include <cstring>
#include <exception>

#include "core/Log.h"

namespace vantor {

namespace {

const char* const kMeshRejected = "ERROR. Cannot build collision data for mesh ";
const char* const kTrianglesDropped =
    "ERROR. Triangles with vertex indices out of range left out of mesh ";

// Triangle data gathered from a mesh before it is handed to ODE.
struct MeshArrays {
    std::vector<float> vertices;  // 4 floats per vertex
    std::vector<uint32_t> indices;
    bool droppedTriangles = false;  // some triangles named vertices that do not exist
};

// Copies the positions of one vertex data into vertex slots first, first + 1, ...
// Returns an empty text on success, else why the data could not be read.
std::string readPositions(const Ogre::VertexData& data, float scale, size_t first,
                          MeshArrays& out) {
    if (data.vertexCount == 0) {
        return {};
    }
    const Ogre::VertexElement* position =
        data.vertexDeclaration->findElementBySemantic(Ogre::VES_POSITION, 0);
    if (!position) {
        return "a vertex data has no position element";
    }
    if (position->getType() != Ogre::VET_FLOAT3 && position->getType() != Ogre::VET_FLOAT4) {
        return "its positions are not stored as floats";
    }
    const Ogre::HardwareVertexBufferSharedPtr& buffer =
        data.vertexBufferBinding->getBuffer(position->getSource());
    if (!buffer || data.vertexStart + data.vertexCount > buffer->getNumVertices()) {
        return "a vertex buffer is smaller than its vertex data";
    }
    const size_t stride = buffer->getVertexSize();
    Ogre::HardwareBufferLockGuard lock(buffer, Ogre::HardwareBuffer::HBL_READ_ONLY);
    const auto* vertex = static_cast<const unsigned char*>(lock.pData) + data.vertexStart * stride;
    float* slot = &out.vertices[first * 4];
    for (size_t j = 0; j < data.vertexCount; ++j, vertex += stride, slot += 4) {
        float xyz[3];
        std::memcpy(xyz, vertex + position->getOffset(), sizeof xyz);
        slot[0] = xyz[0] * scale;
        slot[1] = xyz[1] * scale;
        slot[2] = xyz[2] * scale;
    }
    return {};
}

template <class Index>
void copyTriangles(const Index* source, size_t triangles, uint32_t base, size_t vertexCount,
                   MeshArrays& out) {
    for (size_t t = 0; t < triangles; ++t, source += 3) {
        // A triangle naming a vertex outside its vertex data would make ODE read
        // past the vertex array: leave it out.
        if (source[0] >= vertexCount || source[1] >= vertexCount || source[2] >= vertexCount) {
            out.droppedTriangles = true;
            continue;
        }
        out.indices.push_back(base + source[0]);
        out.indices.push_back(base + source[1]);
        out.indices.push_back(base + source[2]);
    }
}

// Appends the whole triangles of one submesh, offset by base. A trailing
// partial triangle is ignored.
std::string readIndices(const Ogre::IndexData& data, uint32_t base, size_t vertexCount,
                        MeshArrays& out) {
    const size_t triangles = data.indexCount / 3;
    if (triangles == 0) {
        return {};
    }
    const Ogre::HardwareIndexBufferSharedPtr& buffer = data.indexBuffer;
    if (!buffer || data.indexStart + triangles * 3 > buffer->getNumIndexes()) {
        return "an index buffer is smaller than its index data";
    }
    Ogre::HardwareBufferLockGuard lock(buffer, Ogre::HardwareBuffer::HBL_READ_ONLY);
    if (buffer->getType() == Ogre::HardwareIndexBuffer::IT_32BIT) {
        copyTriangles(static_cast<const uint32_t*>(lock.pData) + data.indexStart, triangles, base,
                      vertexCount, out);
    } else {
        copyTriangles(static_cast<const uint16_t*>(lock.pData) + data.indexStart, triangles, base,
                      vertexCount, out);
    }
    return {};
}

// Walks the submeshes in order. The shared vertex data is copied once, where
// the first submesh that uses it stands; every submesh that uses it indexes from
// that block, every other submesh from its own block.
std::string readMesh(Ogre::Mesh& mesh, float scale, MeshArrays& out) {
    size_t vertexCount = 0;
    size_t indexCount = 0;
    bool sharedCounted = false;
    for (unsigned short i = 0; i < mesh.getNumSubMeshes(); ++i) {
        const Ogre::SubMesh* sub = mesh.getSubMesh(i);
        if (sub->useSharedVertices) {
            if (!sharedCounted && mesh.sharedVertexData) {
                vertexCount += mesh.sharedVertexData->vertexCount;
            }
            sharedCounted = true;
        } else if (sub->vertexData) {
            vertexCount += sub->vertexData->vertexCount;
        }
        if (sub->indexData) {
            indexCount += sub->indexData->indexCount;
        }
    }
    out.vertices.assign(vertexCount * 4, 0.0f);
    out.indices.reserve(indexCount);

    size_t currentOffset = 0;
    size_t sharedOffset = 0;
    bool sharedAdded = false;
    for (unsigned short i = 0; i < mesh.getNumSubMeshes(); ++i) {
        const Ogre::SubMesh* sub = mesh.getSubMesh(i);
        const Ogre::VertexData* data =
            sub->useSharedVertices ? mesh.sharedVertexData : sub->vertexData;
        if (!data) {
            return "a submesh has no vertex data";
        }
        size_t nextOffset = currentOffset;
        if (!(sub->useSharedVertices && sharedAdded)) {
            if (sub->useSharedVertices) {
                sharedAdded = true;
                sharedOffset = currentOffset;
            }
            std::string problem = readPositions(*data, scale, currentOffset, out);
            if (!problem.empty()) {
                return problem;
            }
            nextOffset += data->vertexCount;
        }
        if (sub->indexData) {
            const size_t base = sub->useSharedVertices ? sharedOffset : currentOffset;
            std::string problem =
                readIndices(*sub->indexData, static_cast<uint32_t>(base), data->vertexCount, out);
            if (!problem.empty()) {
                return problem;
            }
        }
        currentOffset = nextOffset;
    }
    if (out.indices.empty()) {
        return "it has no triangles";
    }
    return {};
}

}  // namespace

CollisionMesh::CollisionMesh(std::vector<float> vertices, std::vector<uint32_t> indices,
                             bool buildNow)
    : vertices_(std::move(vertices)), indices_(std::move(indices)) {
    data_ = dGeomTriMeshDataCreate();
    if (buildNow) {
        build();
    }
}

void CollisionMesh::build() noexcept {
    try {
        // Single-precision vertices, 16 bytes apart; 32-bit indices, 12 bytes per triangle.
        dGeomTriMeshDataBuildSingle(data_, vertices_.data(), 4 * sizeof(float), vertexCount(),
                                    indices_.data(), indexCount(), 3 * sizeof(uint32_t));
    } catch (const std::exception& e) {
        failed_ = true;
        failure_ = e.what();
    } catch (...) {
        failed_ = true;
        failure_ = "unknown error";
    }
}

bool CollisionMesh::failed() {
    if (failed_ && !reported_) {
        reported_ = true;
        log(std::string(kMeshRejected) + name_ + ": " + failure_);
    }
    return failed_;
}

CollisionMesh::~CollisionMesh() {
    dGeomTriMeshDataDestroy(data_);
}

std::unique_ptr<CollisionMesh> CollisionMesh::fromMesh(Ogre::Mesh& mesh, float scale) {
    MeshArrays arrays;
    const std::string problem = readMesh(mesh, scale, arrays);
    if (!problem.empty()) {
        log(std::string(kMeshRejected) + mesh.getName() + ": " + problem);
        return nullptr;
    }
    if (arrays.droppedTriangles) {
        log(std::string(kTrianglesDropped) + mesh.getName());
    }
    auto result = std::make_unique<CollisionMesh>(std::move(arrays.vertices),
                                                  std::move(arrays.indices), false);
    result->name_ = mesh.getName();
    return result;
}

}  // namespace vantor
