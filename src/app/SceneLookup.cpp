#include "app/SceneLookup.h"

#include <OgreEntity.h>
#include <OgreSceneManager.h>

namespace vantor {

Ogre::SceneNode* findSceneNode(Ogre::SceneManager* scene, const std::string& name) {
    if (!scene || !scene->hasSceneNode(name)) {
        return nullptr;
    }
    return scene->getSceneNode(name);
}

Ogre::Entity* findEntity(Ogre::SceneManager* scene, const std::string& name) {
    if (!scene || !scene->hasEntity(name)) {
        return nullptr;
    }
    return scene->getEntity(name);
}

}  // namespace vantor
