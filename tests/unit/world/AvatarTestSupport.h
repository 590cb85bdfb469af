#pragma once

#include <OgreSceneManager.h>
#include <OgreSceneNode.h>
#include <lua.h>

#include <memory>
#include <string>

#include "app/GameApp.h"
#include "collision/CollisionMgr.h"
#include "collision/TestMeshes.h"
#include "core/NodeTransform.h"
#include "script/ScriptVM.h"
#include "support/TestGame.h"
#include "world/Actor.h"
#include "world/Avatar.h"
#include "world/Simulation.h"

namespace vantor::test {

// A headless application and its simulation, the level
// nodes the avatar needs ("LevelRoot", the actor "_AVATAR" and "ROT1") and the collision space
// "Solid". The avatar's script events are recorded by Lua functions into the global text `ev`, one
// "Name;" each.
class AvatarWorld {
public:
    AvatarWorld() : game(TestGame::defaultSetup(), {{"start.lua", "-- empty level\n"}}) {
        app = &game.start();
        scene = app->getSceneManager();
        if (!scene->hasSceneNode("LevelRoot")) {
            scene->getRootSceneNode()->createChildSceneNode("LevelRoot");
        }
        levelRoot = scene->getSceneNode("LevelRoot");
        sim = app->getSimulation();
        avatar = sim->getAvatar();
        app->getCollisionMgr()->createSpace("Solid", "");
        game.run(
            "ev = ''\n"
            "function StartJump() ev = ev .. 'StartJump;' end\n"
            "function EndJump() ev = ev .. 'EndJump;' end\n"
            "function StartWalk() ev = ev .. 'StartWalk;' end\n"
            "function EndWalk() ev = ev .. 'EndWalk;' end\n"
            "function BumpedIntoSomething(d) ev = ev .. 'Bump;' end\n");
    }

    ~AvatarWorld() { game.stop(); }

    // The actor "_AVATAR" under "LevelRoot" at position, and the heading node
    // "ROT1" beside it (below the avatar it would turn with it, twice).
    Actor* addAvatar(const Ogre::Vector3& position) {
        Actor* actor = sim->addActor("_AVATAR");
        actor->attachTo("LevelRoot", "Keep");
        actor->setPosition("", position);
        levelRoot->createChildSceneNode("ROT1");
        return actor;
    }

    // A box-shaped piece of level geometry in "Solid", bound to a node of the
    // owner's name under parent (LevelRoot by default).
    CollisionGeom* addBox(const std::string& owner, const Ogre::Vector3& min,
                          const Ogre::Vector3& max, const Ogre::Vector3& position = {0, 0, 0}) {
        makeBoxMesh(owner + "Mesh", min, max);
        return addSolid(owner, owner + "Mesh", position);
    }

    CollisionGeom* addSolid(const std::string& owner, const std::string& mesh,
                            const Ogre::Vector3& position) {
        CollisionMgr* mgr = app->getCollisionMgr();
        CollisionGeom* geom = mgr->createGeom(owner, mesh);
        geom->setNode(levelRoot->createChildSceneNode(owner, position));
        geom->update();
        mgr->addGeomToSpace("Solid", geom);
        return geom;
    }

    Ogre::SceneNode* avatarNode() { return sim->findActor("_AVATAR")->getNode(); }
    Ogre::Vector3 avatarPosition() { return worldTransform(avatarNode()).position; }

    void step(int count = 1) {
        for (int i = 0; i < count; ++i) {
            avatar->step(Avatar::kStepSeconds);
        }
    }

    // Steps until the avatar stands on ground; false when it never does.
    bool land(int maxSteps = 600) {
        for (int i = 0; i < maxSteps; ++i) {
            step();
            if (avatar->getState() == Ground) {
                return true;
            }
        }
        return false;
    }

    // Runs exactly one simulation tick (time advances by 20 ms).
    void tick() {
        if (sim->getTime() > app->getTime()) {
            game.clock().advance(sim->getTime() - app->getTime());
        }
        sim->step();
    }

    std::string events() {
        lua_State* L = app->getScriptVM("lua")->state();
        lua_getglobal(L, "ev");
        const char* text = lua_tostring(L, -1);
        std::string result = text ? text : "";
        lua_pop(L, 1);
        return result;
    }

    int count(const std::string& name) {
        const std::string all = events();
        const std::string token = name + ";";
        int n = 0;
        for (size_t pos = all.find(token); pos != std::string::npos;
             pos = all.find(token, pos + token.size())) {
            ++n;
        }
        return n;
    }

    void clearEvents() { game.run("ev = ''"); }

    TestGame game;
    GameApp* app = nullptr;
    Ogre::SceneManager* scene = nullptr;
    Ogre::SceneNode* levelRoot = nullptr;
    Simulation* sim = nullptr;  // the application's
    Avatar* avatar = nullptr;
};

}  // namespace vantor::test
