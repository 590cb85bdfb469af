#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vantor {

// Checks a binary .mesh file before OGRE's mesh serializer reads it. OGRE
// trusts the file: a bounding box with its minimum above its maximum (one
// damaged byte, or a file cut short inside it) aborts the process on an
// assertion, and indices, bone assignments, poses and edge lists that point
// past their vertex data are read out of bounds when the mesh is drawn,
// animated or casts a shadow. The check walks every chunk as the serializer
// will and refuses anything the serializer would take on trust.
//
// Only the format OGRE 1.10 and later write, "[MeshSerializer_v1.100]", is
// checked; files in older formats are refused (OgreMeshUpgrader converts
// them).
//
// Returns the empty text when the file may be handed to OGRE, otherwise what
// is wrong with it, to follow the file's name in a log line ("is damaged:
// ...").
std::string checkMeshFile(const uint8_t* data, size_t size);

}  // namespace vantor
