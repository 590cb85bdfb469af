#pragma once

#include <string>

namespace Ogre {
class SceneManager;
class SceneNode;
class Entity;
}  // namespace Ogre

namespace vantor {

// Name lookups that answer null instead of throwing OGRE's item-not-found
// exception; callers log what they could not find.
Ogre::SceneNode* findSceneNode(Ogre::SceneManager* scene, const std::string& name);
Ogre::Entity* findEntity(Ogre::SceneManager* scene, const std::string& name);

}  // namespace vantor
