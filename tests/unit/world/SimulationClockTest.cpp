// The simulation inside a headless application on a hand-driven clock: the
// fixed step against the application clock, message timing, Script messages
// and the script functions of actors, scene nodes and splines.

#include <Ogre.h>
#include <gtest/gtest.h>
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>

#include <memory>
#include <string>
#include <vector>

#include "app/GameApp.h"
#include "collision/CollisionMgr.h"
#include "collision/TestMeshes.h"
#include "platform/Clock.h"
#include "script/ScriptVM.h"
#include "script/bindings/wrap_actor.h"
#include "script/bindings/wrap_collision.h"
#include "script/bindings/wrap_spline.h"
#include "support/TestGame.h"
#include "world/Actor.h"
#include "world/LogCapture.h"
#include "world/Simulation.h"

namespace vantor {

using namespace script;
namespace {

using Ogre::Vector3;

class SimulationClockTest : public ::testing::Test {
protected:
    SimulationClockTest()
        : game(test::TestGame::defaultSetup("level.lua"), {{"level.lua", "-- empty level\n"}}),
          clock(game.clock()) {
        app = &game.start();
        sim = app->getSimulation();
        if (!sim) {
            return;  // SetUp skips
        }
        Ogre::SceneManager* scene = app->getSceneManager();
        if (!scene->hasSceneNode("LevelRoot")) {
            scene->getRootSceneNode()->createChildSceneNode("LevelRoot");
        }
        logs = std::make_unique<test::LogCapture>();
        // The functions under test, whatever the installed table holds.
        lua_State* L = lua();
        lua_register(L, "AddActor", script::w_AddActor);
        lua_register(L, "AddActorMessage", script::w_AddActorMessage);
        lua_register(L, "RemoveActor", script::w_RemoveActor);
        lua_register(L, "SetPosition", script::w_SetPosition);
        lua_register(L, "GetPosition", script::w_GetPosition);
        lua_register(L, "SetRotation", script::w_SetRotation);
        lua_register(L, "GetParent", script::w_GetParent);
        lua_register(L, "CreateSpline", script::w_CreateSpline);
        lua_register(L, "AddSplinePoint", script::w_AddSplinePoint);
        lua_register(L, "InterpolateSpline", script::w_InterpolateSpline);
    }

    void SetUp() override {
        if (!sim) {
            GTEST_SKIP() << "the application does not create its Simulation yet";
        }
    }

    ~SimulationClockTest() override { logs.reset(); }

    lua_State* lua() { return app->getScriptVM("lua")->state(); }

    void run(const std::string& code) {
        ASSERT_EQ(0, app->getScriptVM("lua")->executeString(code));
    }

    double number(const std::string& global) {
        lua_State* L = lua();
        lua_getglobal(L, global.c_str());
        const double value = lua_tonumber(L, -1);
        lua_pop(L, 1);
        return value;
    }

    std::string text(const std::string& global) {
        lua_State* L = lua();
        lua_getglobal(L, global.c_str());
        const char* value = lua_tostring(L, -1);
        std::string result = value ? value : "(nil)";
        lua_pop(L, 1);
        return result;
    }

    // One frame's worth of steps; returns the simulation time after each tick.
    std::vector<uint32_t> frameTicks() {
        std::vector<uint32_t> times;
        for (;;) {
            const uint32_t before = sim->getTime();
            const bool more = sim->step();
            if (sim->getTime() != before) {
                times.push_back(sim->getTime());
            }
            if (!more) {
                return times;
            }
        }
    }

    test::TestGame game;
    platform::ManualClock& clock;
    GameApp* app = nullptr;
    Simulation* sim = nullptr;
    std::unique_ptr<test::LogCapture> logs;
};

TEST_F(SimulationClockTest, FrameRunsTicksUntilPastTheClock) {
    ASSERT_NE(nullptr, sim);
    EXPECT_EQ(0u, sim->getTime());
    clock.advance(59);
    EXPECT_EQ((std::vector<uint32_t>{20, 40, 60}), frameTicks());
    // Ahead of the clock now: the next frame runs nothing until 60 is reached.
    EXPECT_TRUE(frameTicks().empty());
    clock.advance(1);
    EXPECT_EQ((std::vector<uint32_t>{80}), frameTicks());
}

TEST_F(SimulationClockTest, FastForwardIsCaughtUpTickByTick) {
    clock.advance(100);
    EXPECT_EQ(6u, frameTicks().size());  // 20 .. 120
    clock.advance(100);
    app->fastForward(1000);
    EXPECT_EQ(5u + 50u, frameTicks().size());

    app->fastForward(5000);
    EXPECT_EQ(250u, frameTicks().size());
    EXPECT_EQ(0, logs->count("falls behind"));
}

TEST_F(SimulationClockTest, TicksPerFrameAreBoundedAndLoggedOnce) {
    app->fastForward(30000);  // 1501 ticks to catch up (the last one runs ahead)
    const size_t bound = Simulation::kMaxTicksPerFrame;
    for (int frame = 0; frame < 3; ++frame) {
        EXPECT_EQ(bound, frameTicks().size());
    }
    EXPECT_EQ(1, logs->count("falls behind"));
    EXPECT_EQ(1u, frameTicks().size());
    EXPECT_EQ(30020u, sim->getTime());
    // Falling behind again after catching up is news again.
    app->fastForward(30000);
    frameTicks();
    EXPECT_EQ(2, logs->count("falls behind"));
}

TEST_F(SimulationClockTest, MessagesArriveInTheFirstTickAtOrAfterTheirTime) {
    run("AddActor('door')");
    // Each records the simulation time of the tick that delivers it: a message
    // due exactly at a tick's time arrives in that tick, not the next.
    run("AddActorMessage('door', 30, 7, 'at30 = GetSimulationTime()')");
    run("AddActorMessage('door', 60, 7, 'at60 = GetSimulationTime()')");
    run("AddActorMessage('door', 99.9, 7, 'at99 = GetSimulationTime()')");
    ASSERT_EQ(3u, sim->getMessages().size());
    EXPECT_EQ(99u, sim->getMessages()[2].time);
    clock.advance(200);
    frameTicks();
    EXPECT_EQ(40, number("at30"));
    EXPECT_EQ(60, number("at60"));
    EXPECT_EQ(100, number("at99"));
    EXPECT_TRUE(sim->getMessages().empty());
}

TEST(SimulationLevelStart, MessageDueAtZeroArrivesBeforeTheFirstFrame) {
    test::TestGame game(test::TestGame::defaultSetup("level.lua"),
                        {{"level.lua",
                          "AddActor('door')\n"
                          "AddActorMessage('door', 0, 7, 'atZero = GetSimulationTime()')\n"
                          "AddActorMessage('door', 20, 7, 'at20 = GetSimulationTime()')\n"}});
    GameApp& app = game.start();
    lua_State* L = app.getScriptVM("lua")->state();
    lua_getglobal(L, "atZero");
    lua_getglobal(L, "at20");
    EXPECT_TRUE(lua_isnumber(L, -2));
    EXPECT_EQ(0, lua_tonumber(L, -2));
    EXPECT_TRUE(lua_isnil(L, -1));  // the next one waits for the tick to 20
    lua_pop(L, 2);
}

TEST_F(SimulationClockTest, SameTickDeliversInInsertionOrder) {
    run("AddActor('door')");
    clock.advance(79);
    frameTicks();
    ASSERT_EQ(80u, sim->getTime());
    run("order = ''");
    run("AddActorMessage('door', 100, 7, \"order = order .. 'A'\")");
    run("AddActorMessage('door', 50, 7, \"order = order .. 'B'\")");
    run("AddActorMessage('door', 100, 7, \"order = order .. 'C'\")");
    clock.advance(1);
    EXPECT_EQ((std::vector<uint32_t>{100}), frameTicks());
    EXPECT_EQ("ABC", text("order"));
}

TEST_F(SimulationClockTest, ScriptMessageAddingDueMessageGetsItTheSameTick) {
    run("AddActor('door')");
    run("log = ''");
    run("AddActorMessage('door', 20, 7, "
        "\"log = log .. 'first'; AddActorMessage('door', 0, 7, [[log = log .. ' second']])\")");
    clock.advance(19);
    EXPECT_EQ((std::vector<uint32_t>{20}), frameTicks());
    EXPECT_EQ("first second", text("log"));
    EXPECT_TRUE(sim->getMessages().empty());
}

TEST_F(SimulationClockTest, NegativeTimeIsNeverDelivered) {
    run("AddActor('door')");
    // Far in the past too: the low 32 bits of -2^32 or of a saturated -1e20 are 0.
    run("AddActorMessage('door', -1, 7, 'never = 1')");
    run("AddActorMessage('door', -4294967296, 7, 'never = 2')");
    run("AddActorMessage('door', -1e20, 7, 'never = 3')");
    ASSERT_EQ(3u, sim->getMessages().size());
    EXPECT_EQ(0xFFFFFFFFu, sim->getMessages()[0].time);
    app->fastForward(9000);
    frameTicks();
    EXPECT_EQ("(nil)", text("never"));
    EXPECT_EQ(3u, sim->getMessages().size());
}

TEST_F(SimulationClockTest, MessageForUnknownActorIsNotQueued) {
    run("AddActorMessage('ghost', 0, 1, 'SetLocal', '', 1, 2, 3)");
    EXPECT_TRUE(sim->getMessages().empty());
    EXPECT_EQ(1, logs->count("ERROR. No such actor found: ghost"));
    // An actor added just before is accepted, and RemoveActor takes it away.
    run("AddActor('door'); AddActorMessage('door', 0, 0, 'LevelRoot')");
    EXPECT_EQ(1u, sim->getMessages().size());
    run("RemoveActor('door')");
    EXPECT_EQ(nullptr, sim->findActor("door"));
}

TEST_F(SimulationClockTest, RunawayScriptMessagesAreBoundedPerTick) {
    run("AddActor('door')");
    run("count = 0; function again() count = count + 1; AddActorMessage('door', 0, 7, 'again()') "
        "end");
    run("AddActorMessage('door', 0, 7, 'again()')");
    clock.advance(19);
    EXPECT_EQ((std::vector<uint32_t>{20}), frameTicks());
    EXPECT_EQ(Simulation::kMaxScriptMessagesPerTick, number("count"));
    EXPECT_EQ(1, logs->count("Too many Script messages"));
    EXPECT_EQ(1u, sim->getMessages().size());  // the next one waits
}

TEST_F(SimulationClockTest, ActorMessagesDriveActorsThroughTicks) {
    run("AddActor('door')");
    run("AddActorMessage('door', 0, 0, 'LevelRoot')");
    run("AddActorMessage('door', 0, 5, 'AddWorld', '', 10, 0, 0)");
    run("AddActorMessage('door', 100, 5, '', '', 0, 0, 0)");
    clock.advance(200);
    frameTicks();
    // Moving in the ticks to 20, 40, 60 and 80; the stop due at 100 arrives
    // before that tick's update.
    run("x, y, z = GetPosition('door')");
    EXPECT_NEAR(0.8, number("x"), 1e-4);
}

TEST_F(SimulationClockTest, CollisionCallbacksRunWhileGeometryTouches) {
    // A floor in the space "Trigger" and a wall crossing it, as two actors.
    auto& meshes = Ogre::MeshManager::getSingleton();
    meshes.createPlane("floor.mesh", "General", Ogre::Plane(Vector3::UNIT_Y, 0), 10, 10, 1, 1, true,
                       1, 1, 1, Vector3::UNIT_Z);
    meshes.createPlane("wall.mesh", "General", Ogre::Plane(Vector3::UNIT_Z, 0), 4, 4);
    app->getCollisionMgr()->createSpace("Trigger", "");
    run("AddActor('floor'); AddActor('wall')");
    run("AddActorMessage('floor', 0, 0, 'LevelRoot')");
    run("AddActorMessage('floor', 0, 4, 'floor.mesh', 'Trigger')");
    // The wall's geometry comes before its node: bound on attach.
    run("AddActorMessage('wall', 0, 4, 'wall.mesh', 'Solid')");
    run("AddActorMessage('wall', 0, 0, 'LevelRoot')");
    run("function One(name) one = name; ones = (ones or 0) + 1 end");
    run("function All(names) all = names; alls = (alls or 0) + 1 end");
    sim->registerCollisionCallback("wall", "Trigger", "One", false);
    lua_register(lua(), "RegisterCollisionCallback", w_RegisterCollisionCallback);
    run("RegisterCollisionCallback('wall', 'Trigger', 'All', 1)");
    ASSERT_EQ(2u, sim->getCollisionCallbacks().size());

    clock.advance(39);
    EXPECT_EQ((std::vector<uint32_t>{20, 40}), frameTicks());
    EXPECT_EQ("floor", text("one"));
    EXPECT_EQ(2, number("ones"));
    run("first = all[1]; count = table.getn(all)");
    EXPECT_EQ("floor", text("first"));
    EXPECT_EQ(1, number("count"));
    EXPECT_EQ(2, number("alls"));

    // Lifted clear of the floor, the wall touches nothing: no more calls.
    run("AddActorMessage('wall', 0, 1, 'SetLocal', '', 0, 10, 0)");
    clock.advance(20);
    frameTicks();
    EXPECT_EQ(2, number("ones"));
    // Removing the actor removes its geometry.
    run("RemoveActor('wall')");
    EXPECT_EQ(nullptr, app->getCollisionMgr()->getGeom("wall"));
}

TEST_F(SimulationClockTest, GeometryBelowAMovingParentIsWhereTheParentIsNow) {
    // A lift with a flag on it; no frame is drawn between the ticks, so OGRE's
    // cached world transforms keep the flag where the lift started. "Flag" is
    // updated before "Lift" in the name order.
    test::makeBoxMesh("flag.mesh", Vector3(-0.5f, 0, -0.5f), Vector3(0.5f, 1, 0.5f));
    app->getCollisionMgr()->createSpace("Flags", "");
    run("AddActor('Lift'); AddActor('Flag')");
    run("AddActorMessage('Lift', 0, 0, 'LevelRoot')");
    run("AddActorMessage('Flag', 0, 0, 'Lift')");
    run("AddActorMessage('Flag', 0, 4, 'flag.mesh', 'Flags')");
    run("AddActorMessage('Lift', 0, 5, '', '', 0, 50, 0)");  // 1 unit up per tick
    auto topOfFlag = [&] {
        run("hx, hy, hz, hit = RayTest('Flags', 0, 100, 0, 0, -1, 0, 200)");
        EXPECT_EQ("Flag", text("hit"));
        return number("hy");
    };
    clock.advance(99);  // ticks to 20 .. 100 in one frame
    EXPECT_EQ(5u, frameTicks().size());
    EXPECT_NEAR(6.0, topOfFlag(), 1e-4);
    // A script moves the lift: the next tick's geometry has it where it is.
    run("AddActorMessage('Lift', 0, 5, '', '', 0, 0, 0); SetPosition('Lift', 0, 20, 0)");
    clock.advance(20);
    frameTicks();
    EXPECT_NEAR(21.0, topOfFlag(), 1e-4);
}

TEST_F(SimulationClockTest, SceneNodeFunctions) {
    Ogre::SceneNode* level = app->getSceneManager()->getSceneNode("LevelRoot");
    Ogre::SceneNode* parent = level->createChildSceneNode("parent", Vector3(10, 0, 0));
    parent->createChildSceneNode("child");
    run("SetPosition('child', 1, 2, 3)");
    run("wx, wy, wz = GetPosition('child'); px, py, pz = GetPosition('child', 1)");
    EXPECT_EQ(11, number("wx"));
    EXPECT_EQ(1, number("px"));
    parent->translate(5, 0, 0);
    run("wx, wy, wz = GetPosition('child', 0); px, py, pz = GetPosition('child', 1)");
    EXPECT_EQ(16, number("wx"));
    EXPECT_EQ(1, number("px"));

    run("SetRotation('child', 0, 1, 0, 90)");
    const Ogre::Quaternion once = app->getSceneManager()->getSceneNode("child")->getOrientation();
    run("SetRotation('child', 0, 1, 0, 90)");
    EXPECT_TRUE(once.equals(app->getSceneManager()->getSceneNode("child")->getOrientation(),
                            Ogre::Degree(0.001f)));
    EXPECT_TRUE(
        once.equals(Ogre::Quaternion(Ogre::Degree(90), Vector3::UNIT_Y), Ogre::Degree(0.01f)));

    // "camera" is the camera, whatever the flag says.
    Ogre::SceneNode* carrier = app->getSceneManager()->getCamera("camera")->getParentSceneNode();
    ASSERT_NE(nullptr, carrier);
    carrier->setPosition(7, 8, 9);
    run("cx, cy, cz = GetPosition('camera', 1)");
    EXPECT_EQ(7, number("cx"));
    EXPECT_EQ(9, number("cz"));

    run("p = GetParent('child')");
    EXPECT_EQ("parent", text("p"));

    // Unknown names and a node without parent: a line each and neutral results.
    app->getSceneManager()->createSceneNode("loose");
    run("gx, gy, gz = GetPosition('nowhere'); SetPosition('nowhere', 1, 1, 1); "
        "SetRotation('nowhere', 0, 1, 0, 5); q = GetParent('nowhere'); r = GetParent('loose')");
    EXPECT_EQ(0, number("gx"));
    EXPECT_EQ("", text("q"));
    EXPECT_EQ("", text("r"));
    EXPECT_EQ(4, logs->count("no scene node named nowhere"));
    EXPECT_EQ(1, logs->count("has no parent"));
}

TEST_F(SimulationClockTest, SplineFunctions) {
    run("CreateSpline('path'); CreateSpline('path')");
    EXPECT_EQ(1, logs->count("ERROR. Duplicate Spline name: path"));
    run("ex, ey, ez = InterpolateSpline('path', 0.5)");
    EXPECT_EQ(0, number("ex"));
    run("AddSplinePoint('path', 0, 0, 0); AddSplinePoint('path', 10, 0, 0); "
        "AddSplinePoint('path', 10, 10, 0); AddSplinePoint('none', 1, 1, 1)");
    run("ax = InterpolateSpline('path', 0); bx, by = InterpolateSpline('path', 0.5); "
        "cx, cy = InterpolateSpline('path', 1); ux, uy, uz = InterpolateSpline('none', 1)");
    EXPECT_EQ(0, number("ax"));
    EXPECT_EQ(10, number("bx"));
    EXPECT_EQ(0, number("by"));
    EXPECT_EQ(10, number("cx"));
    EXPECT_EQ(10, number("cy"));
    EXPECT_EQ(0, number("ux"));
}

}  // namespace
}  // namespace vantor
