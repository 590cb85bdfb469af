#pragma once

#include <OgreResourceGroupManager.h>

namespace vantor {

// Lets a resource be found in any resource group, not only its own. Level
// materials live in "LevelData" while their textures live in "Textures";
// OGRE built with strict resource groups would not look across them.
// A resource that exists in the group asked for is opened the usual way.
class ResourceSearch final : public Ogre::ResourceLoadingListener {
public:
    Ogre::DataStreamPtr resourceLoading(const Ogre::String& name, const Ogre::String& group,
                                        Ogre::Resource* resource) override;
};

}  // namespace vantor
