#include "app/ResourceSearch.h"

namespace vantor {

Ogre::DataStreamPtr ResourceSearch::resourceLoading(const Ogre::String& name,
                                                    const Ogre::String& group, Ogre::Resource*) {
    Ogre::ResourceGroupManager& groups = Ogre::ResourceGroupManager::getSingleton();
    if (groups.resourceGroupExists(group) && groups.resourceExists(group, name)) {
        return Ogre::DataStreamPtr();
    }
    if (!groups.resourceExistsInAnyGroup(name)) {
        return Ogre::DataStreamPtr();  // let OGRE report it as missing
    }
    return groups.openResource(name, groups.findGroupContainingResource(name));
}

}  // namespace vantor
