#include "app/ResourceSearch.h"

#include "app/AssetCheck.h"

namespace vantor {

ResourceSearch::ResourceSearch() {
    Ogre::ResourceGroupManager& groups = Ogre::ResourceGroupManager::getSingleton();
    groups.setLoadingListener(this);
    groups.addResourceGroupListener(this);
}

ResourceSearch::~ResourceSearch() {
    if (auto* groups = Ogre::ResourceGroupManager::getSingletonPtr()) {
        groups->removeResourceGroupListener(this);
        if (groups->getLoadingListener() == this) {
            groups->setLoadingListener(nullptr);
        }
    }
}

Ogre::DataStreamPtr ResourceSearch::resourceLoading(const Ogre::String& name,
                                                    const Ogre::String& group, Ogre::Resource*) {
    Ogre::ResourceGroupManager& groups = Ogre::ResourceGroupManager::getSingleton();
    if (groups.resourceGroupExists(group) && groups.resourceExists(group, name)) {
        return Ogre::DataStreamPtr();
    }
    if (!groups.resourceExistsInAnyGroup(name)) {
        return Ogre::DataStreamPtr();  // let OGRE report it as missing
    }
    // Opened through the group that holds it, which passes the stream through
    // resourceStreamOpened and so through the checks.
    return groups.openResource(name, groups.findGroupContainingResource(name));
}

void ResourceSearch::resourceStreamOpened(const Ogre::String& name, const Ogre::String& group,
                                          Ogre::Resource*, Ogre::DataStreamPtr& stream) {
    checkOpenedResource(name, group, stream);
}

void ResourceSearch::resourceGroupScriptingEnded(const Ogre::String&) {
    checkParticleTemplates();
}

}  // namespace vantor
