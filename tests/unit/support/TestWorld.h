#pragma once

#include <OgreSceneManager.h>

#include <cstdint>
#include <memory>
#include <string>

#include "collision/CollisionMgr.h"
#include "platform/Clock.h"
#include "script/ScriptVM.h"
#include "support/HeadlessOgre.h"
#include "world/Simulation.h"

namespace vantor::test {

// The world as the application links it, without an application: headless
// OGRE, a hand-driven application clock at 0, a collision manager, an open
// "lua" script state (Lua's libraries, no engine functions) and a simulation
// on them, with "LevelRoot" below the scene's root.
class TestWorld {
public:
    TestWorld();
    ~TestWorld();

    Ogre::SceneManager& scene() { return *ogre.sceneManager(); }
    Ogre::SceneNode* levelRoot() { return scene().getSceneNode("LevelRoot"); }

    // Moves the application clock on by ms and runs the ticks now due, as a
    // frame does.
    void advance(uint32_t ms);
    // Runs Lua text in the "lua" state.
    void run(const std::string& code) { lua.executeString(code); }
    // A global of the "lua" state as text ("" for nil).
    std::string global(const std::string& name);

    HeadlessOgre ogre;
    platform::ManualClock clock;
    CollisionMgr collision;
    ScriptVM lua{"lua"};
    std::unique_ptr<Simulation> simulation;
};

}  // namespace vantor::test
