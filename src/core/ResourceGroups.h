#pragma once

#include <string>

namespace vantor {

// Creates a resource group whose resources are known by name to every lookup,
// whatever group the lookup names. Levels refer to materials, fonts and meshes
// by name alone, wherever they were declared; OGRE built with strict resource
// groups would otherwise find them only in their own group. An existing group
// is left as it is.
void ensureGlobalResourceGroup(const std::string& group);

}  // namespace vantor
