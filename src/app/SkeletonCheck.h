#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vantor {

// Checks a binary .skeleton file before OGRE's skeleton serializer reads it.
// OGRE asserts (and so aborts) on a bone parent or animation track naming a
// bone that does not exist, and crashes on gaps between bone handles or on a
// bone that becomes its own ancestor. The check reads the file as the
// serializer will (its bone chunks' lengths leave out the bone's name, so the
// reading follows the chunk contents, as OGRE's does) and refuses what the
// serializer would take on trust.
//
// Formats checked: "[Serializer_v1.80]" (OGRE 1.8 and later) and
// "[Serializer_v1.10]"; older files are refused (OgreMeshUpgrader converts
// the meshes that use them, and OgreXMLConverter the skeletons).
//
// Returns the empty text when the file may be handed to OGRE, otherwise what
// is wrong with it, to follow the file's name in a log line.
std::string checkSkeletonFile(const uint8_t* data, size_t size);

}  // namespace vantor
