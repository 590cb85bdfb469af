// The avatar's share of a tick: its three physics steps of 1/150 s, walking
// and turning over a terrain of about 20k triangles in "Solid", inside a
// headless application.
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

#include "Bench.h"
#include "collision/CollisionMgr.h"
#include "core/NodeTransform.h"
#include "script/ScriptVM.h"
#include "support/TestGame.h"
#include "support/TestMeshes.h"
#include "world/Actor.h"
#include "world/Avatar.h"
#include "world/Simulation.h"

namespace vantor::bench {

namespace {

using Clock = std::chrono::steady_clock;

double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(p * double(values.size() - 1))];
}

constexpr int kPileSolids = 100;

}  // namespace

void makeHillsMesh(const std::string& name) {
    const int side = kHillsGrid + 1;
    std::vector<Ogre::Vector3> vertices;
    for (int z = 0; z < side; ++z) {
        for (int x = 0; x < side; ++x) {
            vertices.emplace_back(float(x), 0.5f * std::sin(x * 0.3f) * std::cos(z * 0.2f),
                                  float(z));
        }
    }
    test::SubMeshData grid;
    grid.shared = true;
    grid.use32BitIndices = true;
    for (int z = 0; z < kHillsGrid; ++z) {
        for (int x = 0; x < kHillsGrid; ++x) {
            const uint32_t v00 = z * side + x, v10 = v00 + 1, v01 = v00 + side, v11 = v01 + 1;
            grid.indices.insert(grid.indices.end(), {v00, v01, v10, v10, v01, v11});
        }
    }
    test::makeMesh(name, vertices, {grid});
}

CollisionGeom* makeHillsLevel(GameApp& app) {
    Ogre::SceneNode* levelRoot =
        app.getSceneManager()->getRootSceneNode()->createChildSceneNode("LevelRoot");
    levelRoot->createChildSceneNode("ROT1");
    app.getScriptVM("lua")->executeString(
        "function StartWalk() end function EndWalk() end function StartJump() end "
        "function EndJump() end function BumpedIntoSomething(d) end");
    makeHillsMesh("Hills");
    CollisionMgr* mgr = app.getCollisionMgr();
    mgr->createSpace("Solid", "");
    CollisionGeom* geom = mgr->createGeom("Hills", "Hills");
    geom->setNode(levelRoot->createChildSceneNode("Hills"));
    geom->update();
    mgr->addGeomToSpace("Solid", geom);
    mgr->waitForBuilds();  // the floors test the ground with ODE alone
    return geom;
}

std::vector<BenchRow> runAvatarBench(bool quick) {
    std::vector<BenchRow> rows;
    test::TestGame game(test::TestGame::defaultSetup(), {{"start.lua", "-- empty\n"}});
    GameApp& app = game.start();
    Ogre::SceneManager* scene = app.getSceneManager();
    makeHillsLevel(app);
    CollisionMgr* mgr = app.getCollisionMgr();
    rows.push_back(
        {"avatar terrain", double(mgr->getMesh("Hills")->indexCount() / 3), "triangles"});

    {
        // The application's own simulation: a second one would share (and at its
        // end destroy) the overlay the application's simulation still uses.
        Simulation& sim = *app.getSimulation();
        Actor* actor = sim.addActor("_AVATAR");
        actor->attachTo("LevelRoot", "Keep");
        actor->setPosition("", Ogre::Vector3(50, 2, 50));
        Avatar* avatar = sim.getAvatar();

        auto tick = [&] {
            for (int i = 0; i < Avatar::kStepsPerTick; ++i) {
                avatar->step(Avatar::kStepSeconds);
            }
        };
        for (int i = 0; i < 200; ++i) {
            tick();  // land and settle
        }
        auto measure = [&](bool walking) {
            std::vector<double> ticks;
            for (int i = 0; i < (quick ? 50 : 2000); ++i) {
                avatar->setMove(walking ? Ogre::Vector3(5, i % 100 == 0 ? 0.4f : 0, 0)
                                        : Ogre::Vector3::ZERO);
                if (walking) {
                    avatar->turn(1.0f);
                }
                const auto start = Clock::now();
                tick();
                ticks.push_back(
                    std::chrono::duration<double, std::micro>(Clock::now() - start).count());
            }
            return ticks;
        };
        const std::vector<double> walk = measure(true);
        const std::vector<double> rest = measure(false);
        rows.push_back({"avatar: 3 steps per tick, walking+turning+jumping (median)",
                        percentile(walk, 0.5), "us"});
        rows.push_back({"avatar: 3 steps per tick, walking+turning+jumping (99th pct)",
                        percentile(walk, 0.99), "us"});
        rows.push_back(
            {"avatar: 3 steps per tick, standing (median)", percentile(rest, 0.5), "us"});
        rows.push_back({"avatar: ground after the run is the terrain (1 = yes)",
                        avatar->getGroundNode() == scene->getSceneNode("Hills") ? 1.0 : 0.0, ""});

        // A pile of overlapping solids under the avatar: each one it touches
        // adds its own contacts.
        test::makeGridMesh("Pile", 20, 0.1f, 0.3f);  // 2 x 2 units, its top 0.3 above its node
        // Their top 0.05 above the bottom of the sphere (0.25 below its centre).
        const Ogre::Vector3 at = worldTransform(scene->getSceneNode("_AVATAR")).position -
                                 Ogre::Vector3(0, 0.25f - 0.05f + 0.3f, 0);
        for (int i = 0; i < kPileSolids; ++i) {
            const std::string name = "Pile" + std::to_string(i);
            CollisionGeom* geom = mgr->createGeom(name, "Pile");
            geom->setNode(scene->getSceneNode("LevelRoot")->createChildSceneNode(name, at));
            geom->update();
            mgr->addGeomToSpace("Solid", geom);
        }
        avatar->setMove(Ogre::Vector3::ZERO);
        int contacts = 0;
        std::vector<double> pile;
        for (int i = 0; i < (quick ? 20 : 300); ++i) {
            const auto start = Clock::now();
            tick();
            pile.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
            contacts = std::max(contacts, avatar->getStepContacts());
        }
        rows.push_back({"avatar: 3 steps per tick, on " + std::to_string(kPileSolids) +
                            " overlapping solids (median)",
                        percentile(pile, 0.5), "us"});
        rows.push_back({"avatar: most contacts in one step on the pile", double(contacts), ""});
    }
    game.stop();
    return rows;
}

}  // namespace vantor::bench
