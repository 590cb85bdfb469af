#include "support/TestMeshes.h"

#include <OgreHardwareBufferManager.h>
#include <OgreMeshManager.h>
#include <OgreSubMesh.h>

#include <cstring>

namespace vantor::test {

namespace {

Ogre::VertexData* makeVertexData(const std::vector<Ogre::Vector3>& positions) {
    auto* data = new Ogre::VertexData();  // owned by the mesh or submesh
    data->vertexCount = positions.size();
    Ogre::VertexDeclaration* decl = data->vertexDeclaration;
    decl->addElement(0, 0, Ogre::VET_FLOAT3, Ogre::VES_NORMAL);
    decl->addElement(0, 12, Ogre::VET_FLOAT3, Ogre::VES_POSITION);
    auto buffer = Ogre::HardwareBufferManager::getSingleton().createVertexBuffer(
        24, positions.size(), Ogre::HardwareBuffer::HBU_STATIC_WRITE_ONLY, true);
    std::vector<float> raw;
    for (const Ogre::Vector3& p : positions) {
        raw.insert(raw.end(), {0.0f, 0.0f, 1.0f, p.x, p.y, p.z});
    }
    buffer->writeData(0, raw.size() * sizeof(float), raw.data(), true);
    data->vertexBufferBinding->setBinding(0, buffer);
    return data;
}

}  // namespace

Ogre::MeshPtr makeMesh(const std::string& name, const std::vector<Ogre::Vector3>& sharedVertices,
                       const std::vector<SubMeshData>& subMeshes) {
    Ogre::MeshPtr mesh = Ogre::MeshManager::getSingleton().createManual(name, "General");
    if (!sharedVertices.empty()) {
        mesh->sharedVertexData = makeVertexData(sharedVertices);
    }
    for (const SubMeshData& part : subMeshes) {
        Ogre::SubMesh* sub = mesh->createSubMesh();
        sub->useSharedVertices = part.shared;
        if (!part.shared) {
            sub->vertexData = makeVertexData(part.vertices);
        }
        const auto type = part.use32BitIndices ? Ogre::HardwareIndexBuffer::IT_32BIT
                                               : Ogre::HardwareIndexBuffer::IT_16BIT;
        auto buffer = Ogre::HardwareBufferManager::getSingleton().createIndexBuffer(
            type, part.indices.size(), Ogre::HardwareBuffer::HBU_STATIC_WRITE_ONLY, true);
        if (part.use32BitIndices) {
            buffer->writeData(0, part.indices.size() * 4, part.indices.data(), true);
        } else {
            std::vector<uint16_t> narrow(part.indices.begin(), part.indices.end());
            buffer->writeData(0, narrow.size() * 2, narrow.data(), true);
        }
        sub->indexData->indexBuffer = buffer;
        sub->indexData->indexCount = part.indices.size();
    }
    mesh->_setBounds(Ogre::AxisAlignedBox(-100, -100, -100, 100, 100, 100));
    mesh->load();
    return mesh;
}

Ogre::MeshPtr makeBoxMesh(const std::string& name, const Ogre::Vector3& min,
                          const Ogre::Vector3& max) {
    std::vector<Ogre::Vector3> corners;
    for (int i = 0; i < 8; ++i) {
        corners.emplace_back((i & 1) ? max.x : min.x, (i & 2) ? max.y : min.y,
                             (i & 4) ? max.z : min.z);
    }
    const Ogre::Vector3 centre = (min + max) * 0.5f;
    const int quads[6][4] = {{0, 2, 6, 4}, {1, 3, 7, 5}, {0, 1, 5, 4},
                             {2, 3, 7, 6}, {0, 1, 3, 2}, {4, 5, 7, 6}};
    SubMeshData part;
    part.shared = true;
    for (const auto& q : quads) {
        const int triangles[2][3] = {{q[0], q[1], q[2]}, {q[0], q[2], q[3]}};
        for (const auto& t : triangles) {
            const Ogre::Vector3 &a = corners[t[0]], &b = corners[t[1]], &c = corners[t[2]];
            const bool outward =
                (b - a).crossProduct(c - a).dotProduct((a + b + c) / 3 - centre) > 0;
            part.indices.push_back(t[0]);
            part.indices.push_back(static_cast<uint32_t>(outward ? t[1] : t[2]));
            part.indices.push_back(static_cast<uint32_t>(outward ? t[2] : t[1]));
        }
    }
    return makeMesh(name, corners, {part});
}

Ogre::MeshPtr makeGridMesh(const std::string& name, int cells, float cellSize, float y) {
    const float half = 0.5f * cellSize * static_cast<float>(cells);
    std::vector<Ogre::Vector3> vertices;
    for (int z = 0; z <= cells; ++z) {
        for (int x = 0; x <= cells; ++x) {
            vertices.emplace_back(cellSize * static_cast<float>(x) - half, y,
                                  cellSize * static_cast<float>(z) - half);
        }
    }
    SubMeshData grid;
    grid.shared = true;
    grid.use32BitIndices = true;
    const uint32_t row = static_cast<uint32_t>(cells) + 1;
    for (uint32_t z = 0; z < row - 1; ++z) {
        for (uint32_t x = 0; x < row - 1; ++x) {
            const uint32_t v00 = z * row + x, v10 = v00 + 1, v01 = v00 + row, v11 = v01 + 1;
            grid.indices.insert(grid.indices.end(), {v00, v01, v10, v10, v01, v11});
        }
    }
    return makeMesh(name, vertices, {grid});
}

}  // namespace vantor::test
