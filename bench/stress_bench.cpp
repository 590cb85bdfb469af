// A whole world tick under stress, inside a headless application, against the
// floor: the same work written directly against OGRE and ODE.
//
// Engine: Simulation::step for one 20 ms tick with n actors moving and
// spinning, 5n messages spread over the next 10 s, n/10 collision callbacks of
// box-mesh actors against a 20,000-triangle ground in "Solid" (touching, so
// the callback's Lua function runs), and the avatar walking on that ground.
// Floor: n scene nodes translated and rotated, the due messages walked from a
// sorted list, n/10 dCollide calls of the same geoms against the ground, and
// three steps of an ODE body with a sphere colliding with the ground.
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>
#include <lua.h>
#include <ode/ode.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numeric>
#include <random>
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

constexpr int kTickMs = 20;

struct TickStats {
    double mean = 0, p50 = 0, p99 = 0;
};

TickStats stats(std::vector<double> us) {
    std::sort(us.begin(), us.end());
    TickStats s;
    s.mean = std::accumulate(us.begin(), us.end(), 0.0) / double(us.size());
    s.p50 = us[us.size() / 2];
    s.p99 = us[static_cast<size_t>(0.99 * double(us.size() - 1))];
    return s;
}

ActorMessage message(const std::string& actor, ActorMessageType type, uint32_t time = 0) {
    ActorMessage m;
    m.actorName = actor;
    m.type = static_cast<int32_t>(type);
    m.time = time;
    return m;
}

// An actor that rests: with resting crates, every other crate with a callback
// (every 20th actor) neither moves nor turns.
bool rests(int i, bool restingCrates) {
    return restingCrates && i % 20 == 0;
}

// The engine's side, set up once; run() adds per-tick microseconds and the
// length of the avatar's path (it walks and turns, so it goes round in
// circles) to path.
class EngineTicks {
public:
    EngineTicks(test::TestGame& game, int actors, bool restingCrates) : game_(game) {
        GameApp& app = game.app();
        Simulation* sim = app.getSimulation();
        std::mt19937 random(11);
        std::uniform_real_distribution<float> across(5.0f, kHillsGrid - 5.0f);
        std::uniform_int_distribution<uint32_t> later(kTickMs, 10000);
        const uint32_t start = sim->getTime();
        for (int i = 0; i < actors; ++i) {
            const std::string name = "mover" + std::to_string(i);
            sim->addActor(name);
            ActorMessage m = message(name, ActorMessageType::Attach);
            m.word1 = "LevelRoot";
            sim->addActorMessage(m);
            m = message(name, ActorMessageType::Position);
            m.vector = Ogre::Vector3(across(random), 0.2f, across(random));
            sim->addActorMessage(m);
            m = message(name, ActorMessageType::Velocity);
            m.vector = Ogre::Vector3(0.5f, 0, 0.25f);
            if (!rests(i, restingCrates)) {
                sim->addActorMessage(m);
            }
            m = message(name, ActorMessageType::Spin);
            m.vector = Ogre::Vector3::UNIT_Y;
            m.number = 45;
            if (!rests(i, restingCrates)) {
                sim->addActorMessage(m);
            }
            if (i % 10 == 0) {
                m = message(name, ActorMessageType::CollisionGeometry);
                m.word1 = "crate";
                m.word2 = "Movers";
                sim->addActorMessage(m);
                sim->registerCollisionCallback(name, "Solid", "Touched", false);
            }
            for (int k = 0; k < 5; ++k) {
                m = message(name, ActorMessageType::Velocity, start + later(random));
                m.vector = Ogre::Vector3(0.5f, 0, k % 2 ? 0.25f : -0.25f);
                if (!rests(i, restingCrates)) {
                    sim->addActorMessage(m);
                }
            }
        }
        sim->processMessages();
        // The play state would set the avatar's move from the keyboard (none in
        // a headless application) before every tick; without it the bench steers.
        while (app.getCurrentState()) {
            app.popState();
        }
        avatar_ = app.getSceneManager()->getSceneNode("_AVATAR");
    }

    void run(int ticks, std::vector<double>& us, double& path) {
        GameApp& app = game_.app();
        Simulation* sim = app.getSimulation();
        for (int t = 0; t < ticks; ++t) {
            const Ogre::Vector3 from = worldTransform(avatar_).position;
            sim->setAvatarMove(Ogre::Vector3(5, 0, 0));
            sim->turnAvatar(1.0f);
            game_.clock().advance(sim->getTime() + kTickMs - app.getTime());
            const auto begin = Clock::now();
            sim->step();
            us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - begin).count());
            path += from.distance(worldTransform(avatar_).position);
        }
    }

private:
    test::TestGame& game_;
    Ogre::SceneNode* avatar_ = nullptr;
};

// The floor: the same transforms and collide calls without the engine.
class FloorTicks {
public:
    FloorTicks(Ogre::SceneManager* scene, dGeomID ground, const CollisionMesh& crate, int actors,
               bool restingCrates)
        : scene_(scene), ground_(ground), actors_(actors), restingCrates_(restingCrates) {
        std::mt19937 random(11);
        std::uniform_real_distribution<float> across(5.0f, kHillsGrid - 5.0f);
        std::uniform_int_distribution<uint32_t> later(kTickMs, 10000);
        root_ = scene->getRootSceneNode()->createChildSceneNode("FloorRoot");
        velocities_.assign(actors, Ogre::Vector3(0.5f, 0, 0.25f));
        for (int i = 0; i < actors; ++i) {
            Ogre::SceneNode* node = root_->createChildSceneNode();
            node->setPosition(across(random), 0.2f, across(random));
            nodes_.push_back(node);
            if (i % 10 == 0) {
                geoms_.push_back(std::make_unique<CollisionGeom>(crate));
                geoms_.back()->setNode(node);
            }
            for (int k = 0; k < 5; ++k) {
                due_.push_back({later(random), i, Ogre::Vector3(0.5f, 0, k % 2 ? 0.25f : -0.25f)});
            }
        }
        std::stable_sort(due_.begin(), due_.end(),
                         [](const Due& a, const Due& b) { return a.time < b.time; });
        world_ = dWorldCreate();
        dWorldSetGravity(world_, 0, -9.81, 0);
        body_ = dBodyCreate(world_);
        dBodySetPosition(body_, 50, 1, 50);
        sphere_ = dCreateSphere(nullptr, 0.5);
        dGeomSetBody(sphere_, body_);
        avatarNode_ = root_->createChildSceneNode();
        contacts_.resize(CollisionResult::kMaxContacts);
    }

    ~FloorTicks() {
        geoms_.clear();
        dGeomDestroy(sphere_);
        dWorldDestroy(world_);
        root_->removeAndDestroyAllChildren();
        scene_->destroySceneNode(root_);
    }

    void run(int ticks, std::vector<double>& us) {
        const Ogre::Radian spin(Ogre::Degree(45.0f * kTickMs / 1000.0f));
        for (int t = 0; t < ticks; ++t) {
            const auto begin = Clock::now();
            now_ += kTickMs;
            for (; next_ < due_.size() && due_[next_].time <= now_; ++next_) {
                velocities_[due_[next_].actor] = due_[next_].velocity;
            }
            for (int i = 0; i < actors_; ++i) {
                if (rests(i, restingCrates_)) {
                    continue;
                }
                nodes_[i]->translate(velocities_[i] * (kTickMs / 1000.0f), Ogre::Node::TS_PARENT);
                nodes_[i]->rotate(Ogre::Vector3::UNIT_Y, spin, Ogre::Node::TS_LOCAL);
            }
            for (int s = 0; s < Avatar::kStepsPerTick; ++s) {
                dBodySetLinearVel(body_, 5, dBodyGetLinearVel(body_)[1], 0);
                dCollide(sphere_, ground_, CollisionResult::kMaxContacts, contacts_.data(),
                         sizeof(dContactGeom));
                dWorldStep(world_, Avatar::kStepSeconds);
                const dReal* p = dBodyGetPosition(body_);
                avatarNode_->setPosition(float(p[0]), float(p[1]), float(p[2]));
            }
            for (auto& geom : geoms_) {
                geom->update();
                dCollide(geom->geom(), ground_, kTouchFlags, contacts_.data(),
                         sizeof(dContactGeom));
            }
            us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - begin).count());
        }
    }

private:
    struct Due {
        uint32_t time;
        int actor;
        Ogre::Vector3 velocity;
    };
    Ogre::SceneManager* scene_;
    dGeomID ground_;
    int actors_;
    bool restingCrates_;
    Ogre::SceneNode* root_ = nullptr;
    std::vector<Ogre::SceneNode*> nodes_;
    std::vector<Ogre::Vector3> velocities_;
    std::vector<std::unique_ptr<CollisionGeom>> geoms_;
    std::vector<Due> due_;
    size_t next_ = 0;
    uint32_t now_ = 0;
    dWorldID world_ = nullptr;
    dBodyID body_ = nullptr;
    dGeomID sphere_ = nullptr;
    Ogre::SceneNode* avatarNode_ = nullptr;
    std::vector<dContactGeom> contacts_;
};

// One size of the case in a fresh application, so nothing registered for one
// size (actors, callbacks, messages) is left over for the next.
std::vector<BenchRow> runSize(int actors, int ticks, bool restingCrates) {
    test::TestGame game(test::TestGame::defaultSetup(), {{"start.lua", "-- empty\n"}});
    GameApp& app = game.start();
    Ogre::SceneManager* scene = app.getSceneManager();
    CollisionGeom* ground = makeHillsLevel(app);
    game.run("touched = 0 function Touched(name) touched = touched + 1 end");
    test::makeBoxMesh("crate", Ogre::Vector3(-0.5f, -0.5f, -0.5f), Ogre::Vector3(0.5f));
    CollisionMgr* mgr = app.getCollisionMgr();
    mgr->createSpace("Movers", "");

    Simulation* sim = app.getSimulation();
    Actor* avatar = sim->addActor("_AVATAR");
    avatar->attachTo("LevelRoot", "Keep");
    avatar->setPosition("", Ogre::Vector3(50, 2, 50));

    // The engine and the floor take turns in blocks of ticks, so that a
    // load on the machine that comes and goes weighs on both alike.
    double path = 0;
    std::vector<double> engineUs, floorUs;
    {
        EngineTicks engine(game, actors, restingCrates);
        FloorTicks floor(scene, ground->geom(), *mgr->getMesh("crate"), actors, restingCrates);
        constexpr int kBlock = 50;
        for (int done = 0; done < ticks; done += kBlock) {
            const int block = std::min(kBlock, ticks - done);
            engine.run(block, engineUs, path);
            floor.run(block, floorUs);
        }
    }
    const TickStats e = stats(engineUs);
    const TickStats f = stats(floorUs);
    const std::string size = std::to_string(actors) + " actors, " + std::to_string(actors * 5) +
                             " msgs, " + std::to_string(actors / 10) + " callbacks" +
                             (restingCrates ? ", half resting" : "");
    std::vector<BenchRow> rows;
    rows.push_back({"tick mean: " + size, e.mean / 1000.0, "ms", f.mean / 1000.0});
    rows.push_back({"tick p50:  " + size, e.p50 / 1000.0, "ms", f.p50 / 1000.0});
    rows.push_back({"tick p99:  " + size, e.p99 / 1000.0, "ms", f.p99 / 1000.0});
    lua_State* L = app.getScriptVM("lua")->state();
    lua_getglobal(L, "touched");
    rows.push_back({"  callback calls (of " + std::to_string(actors / 10 * ticks) + " tests)",
                    lua_tonumber(L, -1), "calls"});
    lua_pop(L, 1);
    rows.push_back({"  avatar path walked in the engine's ticks", path, "units"});
    mgr->clear();
    game.stop();
    return rows;
}

}  // namespace

std::vector<BenchRow> runStressBench(bool quick) {
    const int ticks = quick ? 20 : 500;  // 500 ticks: the 10 s the messages span
    std::vector<BenchRow> rows;
    for (int actors : quick ? std::vector<int>{100} : std::vector<int>{100, 300, 1000}) {
        for (BenchRow& row : runSize(actors, ticks, false)) {
            rows.push_back(std::move(row));
        }
    }
    // Half the crates with a callback at rest, the other half moving: a
    // test whose two sides did not move gives the answer it gave before.
    for (BenchRow& row : runSize(quick ? 100 : 1000, ticks, true)) {
        rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace vantor::bench
