#pragma once

#include <OgreMesh.h>
#include <OgreVector.h>

#include <cstdint>
#include <string>
#include <vector>

namespace vantor::test {

// One submesh of a hand-made mesh: its own vertices (ignored when shared is
// set), its indices and the width of its index buffer.
struct SubMeshData {
    bool shared = false;
    std::vector<Ogre::Vector3> vertices;
    std::vector<uint32_t> indices;
    bool use32BitIndices = false;
};

// Builds and loads a manual mesh in the group "General" with readable buffers.
// Every vertex carries a normal before its position, so the position element
// sits at a non-zero offset inside a 24-byte vertex.
Ogre::MeshPtr makeMesh(const std::string& name, const std::vector<Ogre::Vector3>& sharedVertices,
                       const std::vector<SubMeshData>& subMeshes);

// A closed axis-aligned box from min to max, faces wound outward, in one
// submesh over shared vertex data.
Ogre::MeshPtr makeBoxMesh(const std::string& name, const Ogre::Vector3& min,
                          const Ogre::Vector3& max);

// A flat square of cells x cells quads of side cellSize, centred on the
// origin at height y, facing +Y, in one submesh over shared vertex data.
Ogre::MeshPtr makeGridMesh(const std::string& name, int cells, float cellSize, float y);

}  // namespace vantor::test
