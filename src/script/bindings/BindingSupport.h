#pragma once

// What every script function reaches, in one place. The bindings are the one
// layer below the application that may reach the application object; they do
// so only through these helpers.
//
// The rule for a subsystem that is not there: the setup script runs before
// the world exists, and a finaliser of a closing script state may run after
// the subsystems are gone. A function that needs one then fails the way any
// misuse does, with one log line "Error: <Name>: no <subsystem>" (thrown here,
// written by guarded) and its default results. A missing sound system is not
// a failure: the setup turns sound off, and the sound functions then do
// nothing and return 0.

#include <OgreVector.h>
#include <lua.h>

#include <string>

namespace Ogre {
class SceneManager;
class SceneNode;
}  // namespace Ogre

namespace vantor {

class CameraController;
class CollisionMgr;
class CSound;
class GameApp;
class OverlayMgr;
class Simulation;

namespace script {

GameApp& app();
Simulation& simulation();
Ogre::SceneManager& scene();
CollisionMgr& collisionMgr();
CameraController& camera();
OverlayMgr& overlays();
// The overlay manager, or null: for the error reporter, which must not fail.
OverlayMgr* overlaysIfAny();
// Null without a sound system.
CSound* sound();

// The scene node of that name; throws "no scene node named <name>".
Ogre::SceneNode& sceneNode(const std::string& name);

// Three real arguments from `first` on (argFloat each).
Ogre::Vector3 argVector(lua_State* L, int first);
// Pushes x, y, z; returns 3.
int pushVector(lua_State* L, const Ogre::Vector3& v);

}  // namespace script
}  // namespace vantor
