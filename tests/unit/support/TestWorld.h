#pragma once

#include <OgreSceneManager.h>

#include <cstdint>
#include <memory>
#include <string>

#include "collision/CollisionMgr.h"
#include "platform/Clock.h"
#include "script/ScriptVM.h"
#include "support/HeadlessOgre.h"
#include "support/LogCapture.h"
#include "world/Simulation.h"

namespace vantor::test {

// The world as the application links it, without an application: headless
// OGRE, a hand-driven application clock at 0, a collision manager, an open
// "lua" script state and a simulation on them, with "LevelRoot" below the
// scene's root. The "lua" state has Lua's libraries and one function of
// this fixture, Post(actor, time, type, word1), which queues an actor
// message as AddActorMessage does.
class TestWorld {
public:
    TestWorld();
    ~TestWorld();

    Ogre::SceneManager& scene() { return *ogre.sceneManager(); }
    Ogre::SceneNode* levelRoot() { return scene().getSceneNode("LevelRoot"); }
    Simulation& sim() { return *simulation; }

    // Moves the application clock on by ms and runs the ticks then due, as
    // a frame does; returns the simulation time after each tick.
    std::vector<uint32_t> advance(uint32_t ms);
    // Runs Lua text in the "lua" state.
    void run(const std::string& code) { lua.executeString(code); }
    // A global of the "lua" state as text ("" for nil) or number.
    std::string text(const std::string& global);
    double number(const std::string& global);
    // An actor under "LevelRoot" at a world position.
    Actor* addActor(const std::string& name, const Ogre::Vector3& position = {0, 0, 0});

    HeadlessOgre ogre;
    LogCapture logs;
    platform::ManualClock clock;
    CollisionMgr collision;
    ScriptVM lua;
    std::unique_ptr<Simulation> simulation;
};

}  // namespace vantor::test
