#include "script/bindings/BindingSupport.h"

#include <OgreSceneManager.h>

#include <stdexcept>

#include "app/GameApp.h"
#include "core/SceneLookup.h"
#include "script/bindings/ScriptFunction.h"
#include "world/Simulation.h"

namespace vantor::script {

namespace {
[[noreturn]] void missing(const char* what) {
    throw std::runtime_error(std::string("no ") + what);
}
}  // namespace

GameApp& app() {
    GameApp* current = getApp();
    if (!current) {
        missing("application");
    }
    return *current;
}

Simulation& simulation() {
    Simulation* current = app().getSimulation();
    if (!current) {
        missing("simulation");
    }
    return *current;
}

Ogre::SceneManager& scene() {
    Ogre::SceneManager* current = app().getSceneManager();
    if (!current) {
        missing("scene manager");
    }
    return *current;
}

CollisionMgr& collisionMgr() {
    CollisionMgr* current = app().getCollisionMgr();
    if (!current) {
        missing("collision manager");
    }
    return *current;
}

CameraController& camera() {
    CameraController* current = app().getCamera();
    if (!current) {
        missing("camera");
    }
    return *current;
}

OverlayMgr& overlays() {
    OverlayMgr* current = overlaysIfAny();
    if (!current) {
        missing("overlay manager yet");
    }
    return *current;
}

OverlayMgr* overlaysIfAny() {
    GameApp* current = getApp();
    Simulation* world = current ? current->getSimulation() : nullptr;
    return world ? world->getOverlayMgr() : nullptr;
}

CSound* sound() {
    return app().getSound();
}

Ogre::SceneNode& sceneNode(const std::string& name) {
    Ogre::SceneNode* node = findSceneNode(&scene(), name);
    if (!node) {
        throw std::runtime_error("no scene node named " + name);
    }
    return *node;
}

Ogre::Vector3 argVector(lua_State* L, int first) {
    return Ogre::Vector3(argFloat(L, first), argFloat(L, first + 1), argFloat(L, first + 2));
}

int pushVector(lua_State* L, const Ogre::Vector3& v) {
    lua_pushnumber(L, v.x);
    lua_pushnumber(L, v.y);
    lua_pushnumber(L, v.z);
    return 3;
}

}  // namespace vantor::script
