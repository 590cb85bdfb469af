#include "core/ResourceGroups.h"

#include <OgreResourceGroupManager.h>

namespace vantor {

void ensureGlobalResourceGroup(const std::string& group) {
    Ogre::ResourceGroupManager& groups = Ogre::ResourceGroupManager::getSingleton();
    if (!groups.resourceGroupExists(group)) {
        groups.createResourceGroup(group, true);
    }
}

}  // namespace vantor
