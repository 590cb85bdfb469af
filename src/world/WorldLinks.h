#pragma once

#include <string>

namespace Ogre {
class SceneManager;
}

namespace vantor {

namespace platform {
class Clock;
}
class CameraController;
class CollisionMgr;
class CSound;
class ScriptVM;

// What the world works with that lives elsewhere. None of it is owned: the
// application makes each collaborator before the simulation and destroys it
// after, except the sound system and the camera, which it makes later and
// hands over when they exist. The simulation keeps one copy that its actors
// and avatar read.
struct WorldLinks {
    WorldLinks(Ogre::SceneManager& scene, CollisionMgr& collision, ScriptVM& lua,
               platform::Clock& clock)
        : scene(scene), collision(collision), lua(lua), clock(clock) {}

    Ogre::SceneManager& scene;  // actors' nodes, entities and particles
    CollisionMgr& collision;    // actors' geometry, "Solid", collision callbacks
    ScriptVM& lua;              // the "lua" state: Script messages, events, callbacks
    platform::Clock& clock;     // the application clock the ticks catch up with

    // Null until handed over, and for good in set-ups without them (music
    // off; unit tests).
    CSound* sound = nullptr;
    CameraController* camera = nullptr;
    // Prefixed to the sound names of Sound messages.
    std::string musicDir;
};

}  // namespace vantor
