#include "core/SceneLookup.h"

#include <OgreEntity.h>
#include <OgreSceneManager.h>

namespace vantor {

// OGRE asserts (throws) on an empty name instead of answering "no such".
Ogre::SceneNode* findSceneNode(Ogre::SceneManager* scene, const std::string& name) {
    if (!scene || name.empty() || !scene->hasSceneNode(name)) {
        return nullptr;
    }
    return scene->getSceneNode(name);
}

Ogre::Entity* findEntity(Ogre::SceneManager* scene, const std::string& name) {
    if (!scene || name.empty() || !scene->hasEntity(name)) {
        return nullptr;
    }
    return scene->getEntity(name);
}

}  // namespace vantor
