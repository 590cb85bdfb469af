#pragma once

#include <OgreResourceGroupManager.h>

namespace vantor {

// Stands between OGRE's resource groups and every file they load.
//
// Lets a resource be found in any resource group, not only its own. Level
// materials live in "LevelData" while their textures live in "Textures";
// OGRE built with strict resource groups would not look across them. A
// resource that exists in the group asked for is opened the usual way.
//
// Checks every file OGRE opens before OGRE reads it, and the particle
// templates of every group whose scripts were parsed (see AssetCheck.h), so
// a damaged or oversized asset is refused with a log line and the game goes
// on. Registers itself with the resource group manager for its lifetime.
class ResourceSearch final : public Ogre::ResourceLoadingListener,
                             public Ogre::ResourceGroupListener {
public:
    ResourceSearch();
    ~ResourceSearch() override;
    ResourceSearch(const ResourceSearch&) = delete;
    ResourceSearch& operator=(const ResourceSearch&) = delete;

    Ogre::DataStreamPtr resourceLoading(const Ogre::String& name, const Ogre::String& group,
                                        Ogre::Resource* resource) override;
    void resourceStreamOpened(const Ogre::String& name, const Ogre::String& group,
                              Ogre::Resource* resource, Ogre::DataStreamPtr& stream) override;
    void resourceGroupScriptingEnded(const Ogre::String& group) override;
};

}  // namespace vantor
