#include "app/MeshCheck.h"

#include "app/ChunkReader.h"

#include <OgreHardwareVertexBuffer.h>

#include <cmath>
#include <cstring>
#include <map>
#include <optional>
#include <vector>

namespace vantor {

namespace {

// Chunk identifiers of the binary mesh format (OgreMeshFileFormat.h).
enum Chunk : uint16_t {
    kMesh = 0x3000,
    kSubMesh = 0x4000,
    kSubMeshOperation = 0x4010,
    kSubMeshBoneAssignment = 0x4100,
    kSubMeshTextureAlias = 0x4200,
    kGeometry = 0x5000,
    kVertexDeclaration = 0x5100,
    kVertexElement = 0x5110,
    kVertexBuffer = 0x5200,
    kVertexBufferData = 0x5210,
    kSkeletonLink = 0x6000,
    kMeshBoneAssignment = 0x7000,
    kLodLevel = 0x8000,
    kLodManual = 0x8110,
    kLodGenerated = 0x8120,
    kBounds = 0x9000,
    kSubMeshNameTable = 0xA000,
    kSubMeshNameTableElement = 0xA100,
    kEdgeLists = 0xB000,
    kEdgeListLod = 0xB100,
    kEdgeGroup = 0xB110,
    kPoses = 0xC000,
    kPose = 0xC100,
    kPoseVertex = 0xC111,
    kAnimations = 0xD000,
    kAnimation = 0xD100,
    kAnimationBaseInfo = 0xD105,
    kAnimationTrack = 0xD110,
    kMorphKeyFrame = 0xD111,
    kPoseKeyFrame = 0xD112,
    kPoseRef = 0xD113,
    kTableExtremes = 0xE000,
};

// The format OGRE 1.10 and later write; older ones lay chunks out differently.
constexpr const char* kCurrentFormat = "[MeshSerializer_v1.100]";
constexpr uint32_t kNoBuffer = 0xFFFFFFFFu;
constexpr uint16_t kLastVertexElementType = Ogre::VET_USHORT4_NORM;
constexpr uint16_t kLastOperationType = 6;  // OT_TRIANGLE_FAN

struct Element {
    uint16_t source;
    uint16_t type;
    uint16_t semantic;
    uint16_t offset;
};

// One submesh as far as later chunks refer to it.
struct SubMesh {
    bool ownVertices = false;
    uint32_t vertexCount = 0;
};

class MeshChecker {
public:
    void mesh(ChunkReader r) {
        r.u8();  // skeletally animated
        while (!r.atEnd()) {
            auto [id, c] = r.chunk();
            switch (id) {
                case kGeometry:
                    if (shared_ || !subMeshes_.empty()) {
                        damaged("the shared vertex data is not the mesh's first part");
                    }
                    shared_ = geometry(c);
                    break;
                case kSubMesh:
                    subMesh(c);
                    break;
                case kSkeletonLink:
                    c.text();
                    break;
                case kMeshBoneAssignment:
                    boneAssignment(c, shared_ ? *shared_ : 0, "the shared vertices");
                    break;
                case kLodLevel:
                    lodLevels(c);
                    break;
                case kBounds:
                    bounds(c);
                    break;
                case kSubMeshNameTable:
                    nameTable(c);
                    break;
                case kEdgeLists:
                    edgeLists(c);
                    break;
                case kPoses:
                    poses(c);
                    break;
                case kAnimations:
                    animations(c);
                    break;
                case kTableExtremes:
                    extremes(c);
                    break;
                default:
                    damaged("the mesh holds an unknown chunk " + chunkName(id));
            }
            c.expectEnd(id);
        }
    }

private:
    // Returns the vertex count.
    uint32_t geometry(ChunkReader& r) {
        const uint32_t count = r.u32();
        std::vector<Element> elements;
        std::map<uint16_t, uint16_t> bufferSizes;  // bind index -> vertex size
        bool declared = false;
        while (!r.atEnd()) {
            auto [id, c] = r.chunk();
            if (id == kVertexDeclaration && !declared) {
                declared = true;
                while (!c.atEnd()) {
                    auto [elementId, e] = c.chunk();
                    if (elementId != kVertexElement) {
                        damaged("a vertex declaration holds chunk " + chunkName(elementId));
                    }
                    elements.push_back(element(e));
                    e.expectEnd(elementId);
                }
            } else if (id == kVertexBuffer && declared) {
                vertexBuffer(c, count, elements, bufferSizes);
            } else {
                damaged("vertex data holds an unexpected chunk " + chunkName(id));
            }
            c.expectEnd(id);
        }
        for (const Element& e : elements) {
            if (bufferSizes.count(e.source) == 0) {
                damaged("vertex data declares source " + std::to_string(e.source) +
                        " but has no buffer for it");
            }
        }
        return count;
    }

    static Element element(ChunkReader& r) {
        Element e{};
        e.source = r.u16();
        e.type = r.u16();
        e.semantic = r.u16();
        e.offset = r.u16();
        r.u16();  // index of the semantic
        if (e.type > kLastVertexElementType) {
            damaged("a vertex element has the unknown type " + std::to_string(e.type));
        }
        if (e.semantic < Ogre::VES_POSITION || e.semantic > Ogre::VES_COUNT) {
            damaged("a vertex element has the unknown meaning " + std::to_string(e.semantic));
        }
        return e;
    }

    static size_t typeSize(uint16_t type) {
        return Ogre::VertexElement::getTypeSize(static_cast<Ogre::VertexElementType>(type));
    }

    void vertexBuffer(ChunkReader& r, uint32_t count, const std::vector<Element>& elements,
                      std::map<uint16_t, uint16_t>& bufferSizes) {
        const uint16_t bind = r.u16();
        const uint16_t vertexSize = r.u16();
        if (!bufferSizes.emplace(bind, vertexSize).second) {
            damaged("vertex data has two buffers for source " + std::to_string(bind));
        }
        size_t declaredSize = 0;
        for (const Element& e : elements) {
            if (e.source != bind) {
                continue;
            }
            declaredSize += typeSize(e.type);
            if (e.offset + typeSize(e.type) > vertexSize) {
                damaged("a vertex element lies outside its " + std::to_string(vertexSize) +
                        "-byte vertex");
            }
        }
        if (declaredSize != vertexSize) {
            damaged("a vertex buffer's vertex size does not match its declaration");
        }
        auto [id, data] = r.chunk();
        if (id != kVertexBufferData) {
            damaged("a vertex buffer has no data");
        }
        if (data.remaining() != uint64_t{count} * vertexSize) {
            damaged("a vertex buffer holds " + std::to_string(data.remaining()) +
                    " bytes instead of " + std::to_string(uint64_t{count} * vertexSize));
        }
        // Positions feed bounding boxes and collision shapes, which assume
        // finite numbers.
        for (const Element& e : elements) {
            if (e.source == bind && e.semantic == Ogre::VES_POSITION &&
                e.type == Ogre::VET_FLOAT3) {
                // An IEEE float is finite unless all its exponent bits are
                // set, whichever byte order it was written in.
                const size_t exponentByte = data.swapped() ? 0 : 3;
                const uint8_t* vertex = data.bytes() + e.offset;
                for (uint32_t v = 0; v < count; ++v, vertex += vertexSize) {
                    for (size_t axis = 0; axis < 3; ++axis) {
                        const uint8_t* f = vertex + 4 * axis;
                        const uint8_t high = f[exponentByte];
                        const uint8_t next = f[exponentByte == 3 ? 2 : 1];
                        if ((high & 0x7F) == 0x7F && (next & 0x80)) {
                            damaged("vertex " + std::to_string(v) + " has no finite position");
                        }
                    }
                }
            }
        }
        data.skip(data.remaining(), "vertex data");
    }

    void subMesh(ChunkReader& r) {
        r.text();  // material
        const bool shared = r.u8() != 0;
        const uint32_t indexCount = r.u32();
        const bool wide = r.u8() != 0;
        const size_t indexBytes = wide ? 4 : 2;
        r.need(uint64_t{indexCount} * indexBytes, "the index data");
        std::vector<uint32_t> indices(indexCount);
        for (uint32_t& index : indices) {
            index = wide ? r.u32() : r.u16();
        }
        SubMesh sub;
        sub.ownVertices = !shared;
        if (shared) {
            if (!shared_) {
                damaged("a submesh uses shared vertices but the mesh has none");
            }
            sub.vertexCount = *shared_;
        } else {
            auto [id, g] = r.chunk();
            if (id != kGeometry) {
                damaged("a submesh has neither shared nor vertices of its own");
            }
            sub.vertexCount = geometry(g);
            g.expectEnd(id);
        }
        const std::string name = "submesh " + std::to_string(subMeshes_.size());
        for (uint32_t index : indices) {
            if (index >= sub.vertexCount) {
                damaged("index " + std::to_string(index) + " of " + name + " is beyond its " +
                        std::to_string(sub.vertexCount) + " vertices");
            }
        }
        while (!r.atEnd()) {
            auto [id, c] = r.chunk();
            if (id == kSubMeshOperation) {
                const uint16_t operation = c.u16();
                if (operation < 1 || operation > kLastOperationType) {
                    damaged(name + " has the unknown operation " + std::to_string(operation));
                }
            } else if (id == kSubMeshBoneAssignment) {
                boneAssignment(c, sub.vertexCount, name);
            } else if (id == kSubMeshTextureAlias) {
                c.text();
                c.text();
            } else {
                damaged(name + " holds an unexpected chunk " + chunkName(id));
            }
            c.expectEnd(id);
        }
        subMeshes_.push_back(sub);
    }

    static void boneAssignment(ChunkReader& r, uint32_t vertexCount, const std::string& owner) {
        const uint32_t vertex = r.u32();
        r.u16();  // bone
        r.f32();  // weight
        if (vertex >= vertexCount) {
            damaged("a bone assignment names vertex " + std::to_string(vertex) + " of " + owner +
                    ", which has " + std::to_string(vertexCount));
        }
    }

    void lodLevels(ChunkReader& r) {
        r.text();  // strategy
        lodCount_ = std::max<uint16_t>(r.u16(), 1);
        // Index buffer sizes per submesh and generated level, for levels that
        // share an earlier level's buffer.
        std::vector<std::vector<uint32_t>> buffers(subMeshes_.size());
        for (uint16_t level = 1; level < lodCount_; ++level) {
            auto [id, c] = r.chunk();
            c.f32();  // user value
            if (id == kLodManual) {
                c.text();
                for (auto& sizes : buffers) {
                    sizes.push_back(0);
                }
            } else if (id == kLodGenerated) {
                for (size_t s = 0; s < subMeshes_.size(); ++s) {
                    generatedLod(c, s, level, buffers[s]);
                }
            } else {
                damaged("LOD level " + std::to_string(level) + " is of the unknown kind " +
                        chunkName(id));
            }
            c.expectEnd(id);
        }
        if (!r.atEnd()) {
            damaged("the LOD data holds more levels than it declares");
        }
    }

    void generatedLod(ChunkReader& r, size_t sub, uint16_t level, std::vector<uint32_t>& sizes) {
        const uint32_t count = r.u32();
        const uint32_t start = r.u32();
        const uint32_t bufferIndex = r.u32();
        uint32_t bufferSize = 0;
        if (bufferIndex == kNoBuffer) {
            const bool wide = r.u8() != 0;
            bufferSize = r.u32();
            r.need(uint64_t{bufferSize} * (wide ? 4 : 2), "LOD index data");
            for (uint32_t i = 0; i < bufferSize; ++i) {
                const uint32_t index = wide ? r.u32() : r.u16();
                if (index >= subMeshes_[sub].vertexCount) {
                    damaged("LOD level " + std::to_string(level) + " of submesh " +
                            std::to_string(sub) + " has an index beyond its vertices");
                }
            }
        } else {
            if (bufferIndex < 1 || bufferIndex >= level || sizes[bufferIndex - 1] == 0) {
                damaged("LOD level " + std::to_string(level) + " reuses a buffer it cannot have");
            }
            bufferSize = sizes[bufferIndex - 1];
        }
        if (uint64_t{start} + count > bufferSize) {
            damaged("LOD level " + std::to_string(level) + " reads past its index buffer");
        }
        sizes.push_back(bufferSize);
    }

    static void bounds(ChunkReader& r) {
        float v[7];
        for (float& value : v) {
            value = r.f32();
            if (!std::isfinite(value)) {
                damaged("the bounding box is not a finite number");
            }
        }
        if (v[0] > v[3] || v[1] > v[4] || v[2] > v[5] || v[6] < 0) {
            damaged("the bounding box has its minimum above its maximum");
        }
    }

    void nameTable(ChunkReader& r) {
        while (!r.atEnd()) {
            auto [id, c] = r.chunk();
            if (id != kSubMeshNameTableElement || c.u16() >= subMeshes_.size()) {
                damaged("the submesh name table names a submesh that does not exist");
            }
            c.text();
            c.expectEnd(id);
        }
    }

    // Vertex count of an edge list's or a pose's vertex set: with shared
    // vertices set 0 is those and set n is submesh n-1, otherwise set n is
    // submesh n. Sets must be vertex data that exists.
    uint32_t vertexSet(uint32_t set, const char* user) const {
        const SubMesh* sub = nullptr;
        if (shared_) {
            if (set == 0) {
                return *shared_;
            }
            sub = set - 1 < subMeshes_.size() ? &subMeshes_[set - 1] : nullptr;
        } else {
            sub = set < subMeshes_.size() ? &subMeshes_[set] : nullptr;
        }
        if (!sub || !sub->ownVertices) {
            damaged(std::string(user) + " refers to vertex data " + std::to_string(set) +
                    ", which does not exist");
        }
        return sub->vertexCount;
    }

    void edgeLists(ChunkReader& r) {
        while (!r.atEnd()) {
            auto [id, c] = r.chunk();
            if (id != kEdgeListLod || c.u16() >= lodCount_) {
                damaged("an edge list belongs to a LOD level that does not exist");
            }
            if (c.u8() == 0) {  // not a manual level: the edges are here
                edgeList(c);
            }
            c.expectEnd(id);
        }
    }

    void edgeList(ChunkReader& r) {
        r.u8();  // closed
        const uint32_t triangles = r.u32();
        const uint32_t groups = r.u32();
        r.need(uint64_t{triangles} * 48, "the edge list's triangles");
        for (uint32_t t = 0; t < triangles; ++t) {
            if (r.u32() >= subMeshes_.size()) {
                damaged("an edge list triangle belongs to a submesh that does not exist");
            }
            const uint32_t count = vertexSet(r.u32(), "an edge list triangle");
            for (int k = 0; k < 3; ++k) {
                if (r.u32() >= count) {
                    damaged("an edge list triangle names a vertex that does not exist");
                }
            }
            r.skip(3 * 4 + 4 * 4, "an edge list triangle");  // shared indices, normal
        }
        for (uint32_t g = 0; g < groups; ++g) {
            auto [id, c] = r.chunk();
            if (id != kEdgeGroup) {
                damaged("an edge list has fewer edge groups than it declares");
            }
            const uint32_t count = vertexSet(c.u32(), "an edge group");
            const uint32_t first = c.u32();
            const uint32_t span = c.u32();
            const uint32_t edges = c.u32();
            if (uint64_t{first} + span > triangles) {
                damaged("an edge group names triangles the edge list does not have");
            }
            c.need(uint64_t{edges} * 25, "an edge group's edges");
            for (uint32_t e = 0; e < edges; ++e) {
                const uint32_t tri0 = c.u32();
                const uint32_t tri1 = c.u32();
                const uint32_t v0 = c.u32();
                const uint32_t v1 = c.u32();
                c.skip(8, "an edge");  // shared vertex indices
                const bool degenerate = c.u8() != 0;
                if (tri0 >= triangles || (!degenerate && tri1 >= triangles) || v0 >= count ||
                    v1 >= count) {
                    damaged("an edge names a triangle or vertex that does not exist");
                }
            }
            c.expectEnd(id);
        }
    }

    void poses(ChunkReader& r) {
        while (!r.atEnd()) {
            auto [id, c] = r.chunk();
            if (id != kPose) {
                damaged("the pose list holds chunk " + chunkName(id));
            }
            c.text();
            const uint32_t count = vertexSet(c.u16(), "a pose");
            const bool normals = c.u8() != 0;
            while (!c.atEnd()) {
                auto [vertexId, v] = c.chunk();
                if (vertexId != kPoseVertex || v.u32() >= count) {
                    damaged("a pose moves a vertex that does not exist");
                }
                v.skip(normals ? 24 : 12, "a pose vertex");
                v.expectEnd(vertexId);
            }
            ++poseCount_;
            c.expectEnd(id);
        }
    }

    void animations(ChunkReader& r) {
        while (!r.atEnd()) {
            auto [id, a] = r.chunk();
            if (id != kAnimation) {
                damaged("the animation list holds chunk " + chunkName(id));
            }
            a.text();
            a.f32();  // length
            while (!a.atEnd()) {
                auto [partId, p] = a.chunk();
                if (partId == kAnimationBaseInfo) {
                    p.text();
                    p.f32();
                } else if (partId == kAnimationTrack) {
                    track(p);
                } else {
                    damaged("an animation holds chunk " + chunkName(partId));
                }
                p.expectEnd(partId);
            }
            a.expectEnd(id);
        }
    }

    void track(ChunkReader& r) {
        const uint16_t type = r.u16();
        const uint32_t count = vertexSet(r.u16(), "an animation track");
        if (type != 1 && type != 2) {
            damaged("an animation track has the unknown type " + std::to_string(type));
        }
        while (!r.atEnd()) {
            auto [id, k] = r.chunk();
            k.f32();  // time
            if (type == 1 && id == kMorphKeyFrame) {
                const bool normals = k.u8() != 0;
                k.skip(uint64_t{count} * (normals ? 24 : 12), "a morph key frame");
            } else if (type == 2 && id == kPoseKeyFrame) {
                while (!k.atEnd()) {
                    auto [refId, ref] = k.chunk();
                    if (refId != kPoseRef || ref.u16() >= poseCount_) {
                        damaged("a pose key frame refers to a pose that does not exist");
                    }
                    ref.f32();
                    ref.expectEnd(refId);
                }
            } else {
                damaged("an animation track holds a key frame of the wrong kind");
            }
            k.expectEnd(id);
        }
    }

    void extremes(ChunkReader& r) const {
        if (r.u16() >= subMeshes_.size() || r.remaining() % 12 != 0) {
            damaged("the extremes table does not fit the mesh");
        }
        r.skip(r.remaining(), "extremes");
    }

    std::optional<uint32_t> shared_;
    std::vector<SubMesh> subMeshes_;
    uint16_t lodCount_ = 1;
    uint16_t poseCount_ = 0;
};

}  // namespace

std::string checkMeshFile(const uint8_t* data, size_t size) {
    try {
        std::string version;
        std::optional<ChunkReader> file = ChunkReader::afterHeader(data, size, version);
        if (!file) {
            return "is not a mesh file";
        }
        ChunkReader& r = *file;
        if (version != kCurrentFormat) {
            return "is in the mesh format " + version.substr(0, 40) +
                   ", which the engine does not load; convert it with OgreMeshUpgrader";
        }
        int meshes = 0;
        while (!r.atEnd()) {
            auto [id, c] = r.chunk();
            if (id != kMesh || ++meshes > 1) {
                damaged("the file holds chunk " + chunkName(id) + " besides its mesh");
            }
            MeshChecker().mesh(c);
        }
        if (meshes == 0) {
            damaged("the file holds no mesh");
        }
        return "";
    } catch (const DamagedFile& e) {
        return std::string("is damaged: ") + e.what();
    }
}

}  // namespace vantor
