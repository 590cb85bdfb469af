// The simulation's registries and its message walk at time 0, on a bare
// headless scene manager (no application, so no clock and no scripts).

#include <Ogre.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "overlay/OverlayMgr.h"
#include "support/TestWorld.h"
#include "world/Actor.h"
#include "world/LogCapture.h"
#include "world/Simulation.h"

namespace vantor {
namespace {

using Ogre::Vector3;

class SimulationRegistryTest : public ::testing::Test {
protected:
    ActorMessage message(const std::string& actor, uint32_t time, ActorMessageType type,
                         const std::string& word1 = "", const Vector3& vector = Vector3::ZERO) {
        ActorMessage m;
        m.actorName = actor;
        m.time = time;
        m.type = static_cast<int32_t>(type);
        m.word1 = word1;
        m.vector = vector;
        return m;
    }

    test::TestWorld world;
    test::LogCapture logs;
    Simulation& sim = *world.simulation;
};

TEST_F(SimulationRegistryTest, DuplicateActorIsRefusedAndExistingKept) {
    Actor* first = sim.addActor("door");
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(nullptr, sim.addActor("door"));
    EXPECT_EQ(1, logs.count("ERROR. Duplicate Actor name: door"));
    EXPECT_EQ(first, sim.findActor("door"));
    EXPECT_EQ(1u, sim.getActors().size());
    EXPECT_EQ(nullptr, sim.findActor("Door"));
}

TEST_F(SimulationRegistryTest, RemoveActorDestroysItsNode) {
    sim.addActor("door");
    sim.addActorMessage(message("door", 0, ActorMessageType::Attach, "LevelRoot"));
    sim.processMessages();
    EXPECT_TRUE(world.scene().hasSceneNode("door"));
    sim.removeActor("door");
    sim.removeActor("never");
    EXPECT_EQ(nullptr, sim.findActor("door"));
    EXPECT_FALSE(world.scene().hasSceneNode("door"));
}

TEST_F(SimulationRegistryTest, DueMessagesGoInInsertionOrderAndAreRemoved) {
    sim.addActor("door");
    sim.addActorMessage(message("door", 0, ActorMessageType::Attach, "LevelRoot"));
    sim.addActorMessage(message("door", 0, ActorMessageType::Position, "SetLocal", {1, 0, 0}));
    sim.addActorMessage(message("door", 0, ActorMessageType::Position, "MoveParent", {0, 2, 0}));
    sim.processMessages();
    EXPECT_TRUE(sim.getMessages().empty());
    ASSERT_NE(nullptr, sim.findActor("door")->getNode());
    // Reversed, the SetLocal would have wiped out the move.
    EXPECT_EQ(Vector3(1, 2, 0), sim.findActor("door")->getNode()->getPosition());
}

TEST_F(SimulationRegistryTest, MessageForRemovedActorIsDroppedWithLine) {
    sim.addActor("door");
    sim.addActorMessage(message("door", 0, ActorMessageType::Attach, "LevelRoot"));
    sim.removeActor("door");
    sim.processMessages();
    EXPECT_EQ(1, logs.count("Error: Actormessage with invalid actor! (door)"));
    EXPECT_TRUE(sim.getMessages().empty());
}

TEST_F(SimulationRegistryTest, UnknownTypesAreDroppedWithLine) {
    sim.addActor("door");
    for (int32_t type : {12, -1}) {
        ActorMessage m = message("door", 0, ActorMessageType::Attach, "LevelRoot");
        m.type = type;
        sim.addActorMessage(m);
    }
    sim.processMessages();
    EXPECT_EQ(1, logs.count("Error. Unknown ActorMessageType: 12"));
    EXPECT_EQ(1, logs.count("Error. Unknown ActorMessageType: -1"));
    EXPECT_TRUE(sim.getMessages().empty());
    EXPECT_EQ(nullptr, sim.findActor("door")->getNode());
}

TEST_F(SimulationRegistryTest, FutureMessagesWaitInPlace) {
    sim.addActor("door");
    sim.addActorMessage(message("door", 0xFFFFFFFFu, ActorMessageType::Attach, "LevelRoot"));
    sim.addActorMessage(message("door", 20, ActorMessageType::Attach, "LevelRoot"));
    sim.processMessages();
    ASSERT_EQ(2u, sim.getMessages().size());
    EXPECT_EQ(0xFFFFFFFFu, sim.getMessages()[0].time);
    EXPECT_EQ(20u, sim.getMessages()[1].time);
}

TEST_F(SimulationRegistryTest, ActorsUpdateInNameOrder) {
    // Both actors' temporary materials run out in the same update, and their
    // meshes are gone by then, so each rebuild logs: the lines show the order.
    auto& meshes = Ogre::MeshManager::getSingleton();
    Ogre::MaterialManager::getSingleton().create("Flash", "General");
    for (const char* name : {"b", "a"}) {
        const std::string mesh = std::string(name) + ".mesh";
        meshes.createPlane(mesh, "General", Ogre::Plane(Vector3::UNIT_Z, 0), 1, 1);
        sim.addActor(name);
        sim.addActorMessage(message(name, 0, ActorMessageType::Attach, "LevelRoot"));
        sim.addActorMessage(message(name, 0, ActorMessageType::Entity, mesh));
        ActorMessage flash = message(name, 0, ActorMessageType::Material, "Flash");
        flash.number = 0.1f;
        sim.addActorMessage(flash);
    }
    sim.processMessages();  // delivers, then counts the timers down once
    meshes.remove("a.mesh");
    meshes.remove("b.mesh");
    logs.lines.clear();
    sim.processMessages();
    EXPECT_EQ((std::vector<std::string>{"Error: Actor::setEntity(a): no mesh named a.mesh",
                                        "Error: Actor::setEntity(b): no mesh named b.mesh"}),
              logs.lines);
}

TEST_F(SimulationRegistryTest, SplinesInterpolateAndRefuseDuplicates) {
    ASSERT_NE(nullptr, sim.createSpline("path"));
    EXPECT_EQ(nullptr, sim.createSpline("path"));
    EXPECT_EQ(1, logs.count("ERROR. Duplicate Spline name: path"));

    // No point yet, or an unknown name: the origin.
    EXPECT_EQ(Vector3::ZERO, sim.interpolateSpline("path", 0.5f));
    EXPECT_EQ(Vector3::ZERO, sim.interpolateSpline("nothing", 0.5f));
    sim.addSplinePoint("nothing", Vector3(1, 1, 1));
    EXPECT_EQ(nullptr, sim.findSpline("nothing"));

    sim.addSplinePoint("path", Vector3(0, 0, 0));
    EXPECT_EQ(Vector3::ZERO, sim.interpolateSpline("path", 0.7f));  // one point
    sim.addSplinePoint("path", Vector3(10, 0, 0));
    sim.addSplinePoint("path", Vector3(10, 10, 0));
    EXPECT_EQ(Vector3(0, 0, 0), sim.interpolateSpline("path", 0.0f));
    EXPECT_EQ(Vector3(10, 0, 0), sim.interpolateSpline("path", 0.5f));
    EXPECT_EQ(Vector3(10, 10, 0), sim.interpolateSpline("path", 1.0f));
    // Between points the curve bends through them, not along the chords.
    const Vector3 quarter = sim.interpolateSpline("path", 0.25f);
    EXPECT_GT(quarter.x, 4.0f);
    EXPECT_LT(quarter.y, 0.0f);
    // Outside [0, 1] the ends hold.
    EXPECT_EQ(Vector3(10, 10, 0), sim.interpolateSpline("path", 7.0f));
    EXPECT_EQ(Vector3(0, 0, 0), sim.interpolateSpline("path", -3.0f));
    EXPECT_EQ(Vector3(0, 0, 0), sim.interpolateSpline("path", std::nanf("")));
}

TEST_F(SimulationRegistryTest, ClearEmptiesEverythingWithItsLines) {
    sim.addActor("door");
    sim.addActorMessage(message("door", 0, ActorMessageType::Attach, "LevelRoot"));
    sim.processMessages();
    sim.addActorMessage(message("door", 500, ActorMessageType::Attach, "LevelRoot"));
    sim.createSpline("path");
    sim.registerCollisionCallback("door", "Trigger", "OnTouch", true);
    ASSERT_NE(nullptr, sim.getOverlayMgr());
    sim.getOverlayMgr()->createPanel("hello", 10, 10);
    ASSERT_EQ(1u, sim.getOverlayMgr()->getPanelCount());
    logs.lines.clear();

    sim.clear();
    EXPECT_TRUE(sim.getActors().empty());
    EXPECT_TRUE(sim.getMessages().empty());
    EXPECT_TRUE(sim.getSplines().empty());
    EXPECT_TRUE(sim.getCollisionCallbacks().empty());
    EXPECT_EQ(0u, sim.getTime());
    EXPECT_EQ(0u, sim.getOverlayMgr()->getPanelCount());
    EXPECT_FALSE(world.scene().hasSceneNode("door"));
    // The overlay manager writes lines of its own between the first two.
    const std::vector<std::string> steps = {"Remove overlays", "delete ActorList",
                                            "delete _messages", "delete _splines",
                                            "delete _collisionCallbacks"};
    std::vector<std::string> seen;
    for (const std::string& line : logs.lines) {
        if (std::find(steps.begin(), steps.end(), line) != steps.end()) {
            seen.push_back(line);
        }
    }
    EXPECT_EQ(steps, seen);
    ASSERT_FALSE(logs.lines.empty());
    EXPECT_EQ("Remove overlays", logs.lines.front());
    EXPECT_EQ("delete _collisionCallbacks", logs.lines.back());
}

TEST_F(SimulationRegistryTest, CallbacksKeepRegistrationOrderAndDuplicates) {
    sim.registerCollisionCallback("a", "S", "F", false);
    sim.registerCollisionCallback("a", "S", "F", false);
    sim.registerCollisionCallback("b", "T", "G", true);
    ASSERT_EQ(3u, sim.getCollisionCallbacks().size());
    EXPECT_EQ("G", sim.getCollisionCallbacks()[2].function);
    EXPECT_TRUE(sim.getCollisionCallbacks()[2].wantList);
    EXPECT_FALSE(sim.getCollisionCallbacks()[0].wantList);
}

}  // namespace
}  // namespace vantor
