// The world on its links, without an application: the simulation's fixed
// step, message queue, registries, callbacks and level reset, and one
// actor's operations on a headless scene.

#include <Ogre.h>
#include <OgreManualObject.h>
#include <OgreMaterialManager.h>
#include <OgreMeshManager.h>
#include <OgreSceneNode.h>
#include <gtest/gtest.h>

#include <algorithm>

#include <cmath>

#include "core/NodeTransform.h"
#include "overlay/OverlayMgr.h"
#include "support/TestMeshes.h"
#include "support/TestWorld.h"
#include "world/Actor.h"
#include "world/CollisionWireframe.h"

namespace vantor {
namespace {

using Ogre::Vector3;
using Ticks = std::vector<uint32_t>;

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

class SimulationTest : public ::testing::Test {
protected:
    test::TestWorld world;
    Simulation& sim = world.sim();
};

TEST_F(SimulationTest, ATickDeliversMessagesBeforeTheAvatarStepsAndTheCallbacksRun) {
    // Placed by a message due in the tick, the avatar falls from there in the
    // same tick; a callback sees where the message put the geometry.
    world.addActor("_AVATAR");
    world.levelRoot()->createChildSceneNode("ROT1");
    test::makeBoxMesh("box.mesh", Vector3(-1, -1, -1), Vector3(1, 1, 1));
    world.collision.createSpace("Trigger", "");
    world.addActor("trigger")->setCollisionGeometry("box.mesh", "Trigger");
    world.addActor("mover", Vector3(10, 0, 0))->setCollisionGeometry("box.mesh", "");
    world.run("touched = 0 function Touched() touched = touched + 1 end");
    sim.registerCollisionCallback("mover", "Trigger", "Touched", false);
    sim.addActorMessage(message("_AVATAR", 20, ActorMessageType::Position, "", {0, 5, 0}));
    sim.addActorMessage(message("mover", 20, ActorMessageType::Position, "", {1, 0, 0}));
    world.advance(19);
    // The node marks the sphere's centre, a radius above the body that fell a little.
    EXPECT_NEAR(sim.findActor("_AVATAR")->getNode()->getPosition().y, 5.25f, 0.01f);
    EXPECT_EQ(world.number("touched"), 1);
}

TEST_F(SimulationTest, AFrameRunsAtMostItsBoundOfTicksAndSaysSoOncePerFall) {
    world.clock.advance(30000);  // 1501 ticks to catch up
    for (int frame = 0; frame < 3; ++frame) {
        EXPECT_EQ(world.advance(0).size(), size_t(Simulation::kMaxTicksPerFrame));
    }
    EXPECT_EQ(world.advance(0).size(), 1u);
    EXPECT_EQ(sim.getTime(), 30020u);
    EXPECT_EQ(world.logs.count("falls behind"), 1);
    world.advance(30000);
    EXPECT_EQ(world.logs.count("falls behind"), 2);
}

TEST_F(SimulationTest, MessagesArriveInTheFirstTickAtOrAfterTheirTimeInInsertionOrder) {
    world.addActor("door");
    world.run("order = ''");
    for (const auto& [time, mark] : {std::pair{41u, "A"}, {30u, "B"}, {60u, "C"}, {40u, "D"}}) {
        sim.addActorMessage(message("door", time, ActorMessageType::Script,
                                    std::string("order = order .. '") + mark + "'"));
    }
    sim.addActorMessage(message("door", kNeverDue, ActorMessageType::Script, "order = 'never'"));
    EXPECT_EQ(world.advance(39), (Ticks{20, 40}));
    EXPECT_EQ(world.text("order"), "BD");
    world.advance(20);
    EXPECT_EQ(world.text("order"), "BDAC");
    ASSERT_EQ(sim.getMessages().size(), 1u);
    // A level load delivers what is due at 0 before the first frame.
    sim.addActorMessage(message("door", 0, ActorMessageType::Script, "order = 'zero'"));
    sim.processMessages();
    EXPECT_EQ(world.text("order"), "zero");
}

TEST_F(SimulationTest, ScriptsAddingMessagesDuringDeliveryAreServedAndRunawayOnesCut) {
    world.addActor("door");
    // A Script message queues a due one: it arrives in the same tick.
    world.run("log = ''");
    sim.addActorMessage(
        message("door", 20, ActorMessageType::Script,
                "log = log .. 'first' Post('door', 0, 7, [[log = log .. ' next']])"));
    EXPECT_EQ(world.advance(19), Ticks{20});
    EXPECT_EQ(world.text("log"), "first next");
    EXPECT_TRUE(sim.getMessages().empty());
    // A loop that queues its next round first outlives an error in a round.
    world.run(
        "rounds = 0 function Round() if rounds < 2 then Post('door', 20 * (rounds + 3), "
        "7, 'Round()') end rounds = rounds + 1 error('the lights failed') end");
    sim.addActorMessage(message("door", 40, ActorMessageType::Script, "Round()"));
    world.advance(60);
    EXPECT_EQ(world.number("rounds"), 3);
    // One that queues itself again for ever is cut off at the bound per tick.
    world.run("count = 0 function again() count = count + 1 Post('door', 0, 7, 'again()') end");
    sim.addActorMessage(message("door", 0, ActorMessageType::Script, "again()"));
    EXPECT_EQ(world.advance(20), Ticks{100});
    EXPECT_EQ(world.number("count"), Simulation::kMaxScriptMessagesPerTick);
    EXPECT_EQ(world.logs.count("Too many Script messages"), 1);
    EXPECT_EQ(sim.getMessages().size(), 1u);  // the next one waits
}

TEST_F(SimulationTest, MessagesForMissingActorsOrOfUnknownTypesAreDroppedWithALine) {
    world.addActor("door");
    sim.addActorMessage(message("ghost", 0, ActorMessageType::Position, "SetLocal"));
    for (int32_t type : {12, -1}) {
        ActorMessage m = message("door", 0, ActorMessageType::Position, "SetLocal", {9, 9, 9});
        m.type = type;
        sim.addActorMessage(m);
    }
    sim.processMessages();
    EXPECT_EQ(world.logs.count("Error: Actormessage with invalid actor! (ghost)"), 1);
    EXPECT_EQ(world.logs.count("Error. Unknown ActorMessageType: 12"), 1);
    EXPECT_EQ(world.logs.count("Error. Unknown ActorMessageType: -1"), 1);
    EXPECT_EQ(sim.findActor("door")->getNode()->getPosition(), Vector3::ZERO);
    EXPECT_TRUE(sim.getMessages().empty());
}

TEST_F(SimulationTest, RegistriesRefuseDuplicates) {
    Actor* first = sim.addActor("b");
    EXPECT_EQ(sim.addActor("b"), nullptr);
    EXPECT_EQ(world.logs.count("ERROR. Duplicate Actor name: b"), 1);
    EXPECT_EQ(sim.findActor("b"), first);
    EXPECT_NE(sim.createSpline("path"), nullptr);
    EXPECT_EQ(sim.createSpline("path"), nullptr);
    EXPECT_EQ(world.logs.count("ERROR. Duplicate Spline name: path"), 1);
}

TEST_F(SimulationTest, SplinesPassThroughTheirPointsAndHoldTheirEnds) {
    sim.createSpline("path");
    EXPECT_EQ(sim.interpolateSpline("path", 0.5f), Vector3::ZERO);  // no point yet
    for (const Vector3& p : {Vector3(0, 0, 0), Vector3(10, 0, 0), Vector3(10, 10, 0)}) {
        sim.addSplinePoint("path", p);
    }
    EXPECT_EQ(sim.interpolateSpline("path", 0.5f), Vector3(10, 0, 0));
    const Vector3 quarter = sim.interpolateSpline("path", 0.25f);
    EXPECT_GT(quarter.x, 4.0f);  // bent through the points, not along the chords
    EXPECT_LT(quarter.y, 0.0f);
    EXPECT_EQ(sim.interpolateSpline("path", 7.0f), Vector3(10, 10, 0));
    EXPECT_EQ(sim.interpolateSpline("path", std::nanf("")), Vector3::ZERO);
    EXPECT_EQ(sim.interpolateSpline("other", 0.5f), Vector3::ZERO);
}

TEST_F(SimulationTest, CallbacksRunEachTickWhileTouchingWithNamesIntact) {
    // A trigger under a node whose name could break out of a Lua string, and
    // a wall crossing it.
    const std::string odd = "it's \\ a ') os.exit() --\nname";
    test::makeBoxMesh("box.mesh", Vector3(-1, -1, -1), Vector3(1, 1, 1));
    world.collision.createSpace("Trigger", "");
    world.addActor(odd)->setCollisionGeometry("box.mesh", "Trigger");
    Actor* wall = world.addActor("wall", Vector3(1.5f, 0, 0));
    wall->setCollisionGeometry("box.mesh", "Movers");
    world.run("ones = 0 function One(name) one = name ones = ones + 1 end");
    world.run("function All(names) all = names[1] count = table.getn(names) end");
    sim.registerCollisionCallback("wall", "Trigger", "One", false);
    sim.registerCollisionCallback("wall", "Trigger", "All", true);

    world.advance(39);
    EXPECT_EQ(world.number("ones"), 2);
    EXPECT_EQ(world.text("one"), odd);
    EXPECT_EQ(world.text("all"), odd);
    EXPECT_EQ(world.number("count"), 1);
    wall->setPosition("", Vector3(10, 0, 0));  // clear of the trigger
    world.advance(20);
    EXPECT_EQ(world.number("ones"), 2);
    EXPECT_EQ(world.logs.count("Scripting error"), 0);
}

// The callback sequence of a whole run, with tests of unchanged pairs reused
// or asked of ODE every time: static walls in static triggers, movers
// sweeping through them, and callbacks whose scripts move and remove actors.
std::string callbackSequence(bool reuse) {
    test::TestWorld world;
    world.collision.setReuseUnchangedTests(reuse);
    test::makeBoxMesh("box.mesh", Vector3(-1, -1, -1), Vector3(1, 1, 1));
    world.collision.createSpace("Trigger", "");
    world.collision.createSpace("Inner", "Trigger");
    world.collision.createSpace("Walls", "");
    world.collision.createSpace("Movers", "");
    Simulation& sim = world.sim();
    for (int i = 0; i < 6; ++i) {
        const std::string n = std::to_string(i);
        world.addActor("trigger" + n, Vector3(i * 4.0f, 0, 0))
            ->setCollisionGeometry("box.mesh", i % 2 ? "Inner" : "Trigger");
        world.addActor("wall" + n, Vector3(i * 4.0f + 1.5f, 0, 0))
            ->setCollisionGeometry("box.mesh", "Walls");
        world.addActor("mover" + n, Vector3(-3.0f - i, 0, 0))
            ->setCollisionGeometry("box.mesh", "Movers");
        sim.addActorMessage(message("mover" + n, 20, ActorMessageType::Velocity, "",
                                    Vector3(1.0f + i * 0.5f, 0, 0)));
        sim.registerCollisionCallback("wall" + n, "Trigger", "Seen", i % 2 == 0);
        sim.registerCollisionCallback("mover" + n, "Trigger", "Seen", i % 3 == 0);
        sim.registerCollisionCallback("mover" + n, "Walls", "Seen", false);
    }
    world.run(
        "seen = '' function Seen(what) "
        "if type(what) == 'table' then what = table.concat(what, '+') end "
        "seen = seen .. what .. ';' end");
    for (int tick = 0; tick < 400; ++tick) {
        world.run("seen = seen .. '|'");
        world.advance(20);
        if (tick == 150) {
            sim.findActor("wall2")->setPosition("", Vector3(100, 0, 0));
        }
        if (tick == 200) {
            sim.findActor("trigger3")->setPosition("", Vector3(100, 0, 0));  // in "Inner"
        }
        if (tick == 250) {
            sim.removeActor("trigger4");
        }
    }
    return world.text("seen");
}

TEST(CollisionCallbackTest, ReusingTestsOfUnchangedPairsFiresTheSameCallbacks) {
    const std::string reused = callbackSequence(true);
    const std::string asked = callbackSequence(false);
    EXPECT_EQ(reused, asked);
    // Static pairs fire every tick, movers only while they cross something.
    EXPECT_GT(std::count(asked.begin(), asked.end(), ';'), 1000);
    EXPECT_NE(asked.find("trigger4;"), std::string::npos);
    EXPECT_NE(asked.find("wall5;"), std::string::npos);
}

TEST_F(SimulationTest, GeometryBelowAMovingParentIsWhereTheParentIsNow) {
    // A lift carrying a flag; no frame is drawn between the ticks, so OGRE's
    // cached world transforms lag. "Flag" updates before "Lift" by name.
    test::makeBoxMesh("flag.mesh", Vector3(-0.5f, 0, -0.5f), Vector3(0.5f, 1, 0.5f));
    world.collision.createSpace("Flags", "");
    Actor* lift = world.addActor("Lift");
    Actor* flag = sim.addActor("Flag");
    flag->attachTo("Lift", "");
    flag->setCollisionGeometry("flag.mesh", "Flags");
    lift->setVelocity(Vector3(0, 50, 0), "");  // 1 unit up per tick
    auto topOfFlag = [&] {
        CollisionResult hit;
        world.collision.rayTest("Flags", Vector3(0, 100, 0), Vector3(0, -1, 0), 200, hit);
        return hit.point.y;
    };
    world.advance(99);
    EXPECT_NEAR(topOfFlag(), 6.0f, 1e-4f);
    lift->setVelocity(Vector3::ZERO, "");
    lift->setPosition("", Vector3(0, 20, 0));  // a script moves it between ticks
    world.advance(20);
    EXPECT_NEAR(topOfFlag(), 21.0f, 1e-4f);
}

TEST_F(SimulationTest, ARiderAfterItsTurningLiftMovesAlongTheLiftsNewFrame) {
    // By name, "A" updates before "Lift" turns and "Z" after: Z's world-axis
    // velocity must be turned into the lift's frame as it is after its turn.
    Actor* lift = world.addActor("Lift");
    lift->setSpin(Vector3::UNIT_Y, 4500, "AddParent");  // 90 degrees per tick
    for (const char* name : {"A", "Z"}) {
        Actor* rider = sim.addActor(name);
        rider->attachTo("Lift", "");
        rider->setPosition("SetLocal", Vector3(1, 0, 0));
        rider->setVelocity(Vector3(10, 0, 0), "");  // 0.2 along world x per tick
    }
    world.advance(0);  // one tick
    const auto at = [&](const char* name) {
        return worldTransform(sim.findActor(name)->getNode()).position;
    };
    EXPECT_TRUE(at("A").positionEquals(Vector3(0, 0, -1.2f), 1e-4f)) << at("A");
    EXPECT_TRUE(at("Z").positionEquals(Vector3(0.2f, 0, -1), 1e-4f)) << at("Z");
}

TEST_F(SimulationTest, CollisionWireframeDrawsEverySpacesMeshesWhereTheyAreNow) {
    test::makeBoxMesh("box.mesh", Vector3(-1, -1, -1), Vector3(1, 1, 1));
    world.collision.createSpace("Walls", "");
    world.collision.createSpace("Trigger", "");
    Actor* wall = world.addActor("wall", Vector3(10, 0, 0));
    wall->setCollisionGeometry("box.mesh", "Walls");
    world.addActor("trigger")->setCollisionGeometry("box.mesh", "Trigger");
    world.advance(20);
    CollisionWireframe wireframe(world.scene(), world.collision);
    wireframe.update();
    EXPECT_EQ(wireframe.getTriangleCount(), 24);
    const Ogre::ManualObject* lines = world.scene().getManualObject("_CollisionWireframe");
    EXPECT_EQ(lines->getBoundingBox().getMaximum(), Vector3(11, 1, 1));

    sim.addActorMessage(message("wall", 40, ActorMessageType::Position, "", {20, 0, 0}));
    world.advance(20);
    wireframe.update();
    EXPECT_EQ(lines->getBoundingBox().getMaximum(), Vector3(21, 1, 1));
}

TEST_F(SimulationTest, ClearEmptiesTheLevelInItsOrderOfLines) {
    world.addActor("door");
    sim.addActorMessage(message("door", 500, ActorMessageType::Attach, "LevelRoot"));
    sim.createSpline("path");
    sim.registerCollisionCallback("door", "Trigger", "OnTouch", true);
    sim.getOverlayMgr()->createPanel("hello", 10, 10);
    world.advance(40);
    world.logs.lines.clear();
    sim.clear();
    EXPECT_TRUE(sim.getActors().empty() && sim.getMessages().empty());
    EXPECT_TRUE(sim.getSplines().empty() && sim.getCollisionCallbacks().empty());
    EXPECT_EQ(sim.getTime(), 0u);
    EXPECT_EQ(sim.getOverlayMgr()->getPanelCount(), 0u);
    EXPECT_FALSE(world.scene().hasSceneNode("door"));
    std::vector<std::string> steps;
    for (const std::string& line : world.logs.lines) {
        if (line.rfind("delete ", 0) == 0 || line == "Remove overlays") {
            steps.push_back(line);
        }
    }
    EXPECT_EQ(steps, (std::vector<std::string>{"Remove overlays", "delete _overlays",
                                               "delete ActorList", "delete _messages",
                                               "delete _splines", "delete _collisionCallbacks"}));
}

using Ogre::Quaternion;
using Ogre::Vector3;

void expectNear(const Vector3& expected, const Vector3& actual) {
    EXPECT_TRUE(expected.positionEquals(actual, 1e-4f)) << expected << " != " << actual;
}

void expectSame(const Quaternion& expected, const Quaternion& actual) {
    EXPECT_TRUE(expected.equals(actual, Ogre::Degree(0.01f))) << expected << " != " << actual;
}

class ActorTest : public ::testing::Test {
protected:
    ActorTest() {
        Ogre::SceneNode* root = world.scene().getRootSceneNode();
        // A parent that moves, turns and scales whatever hangs below it.
        parentA = root->createChildSceneNode("A", Vector3(10, 0, 0));
        parentA->yaw(Ogre::Degree(90));
        parentA->setScale(2, 2, 2);
        parentB = root->createChildSceneNode("B", Vector3(0, 5, 0));
        parentB->roll(Ogre::Degree(45));
        Ogre::MeshManager::getSingleton().createPlane("plane.mesh", "General",
                                                      Ogre::Plane(Vector3::UNIT_Z, 0), 10, 10);
        for (const char* name : {"BaseMat", "TempMat"}) {
            Ogre::MaterialManager::getSingleton().create(name, "General");
        }
    }

    static std::string materialOf(const Actor& actor) {
        return actor.getEntity()->getSubEntity(0)->getMaterialName();
    }

    test::TestWorld world;
    const WorldLinks& links = world.sim().links();
    Ogre::SceneNode* parentA = nullptr;
    Ogre::SceneNode* parentB = nullptr;
    ParentFrames frames;  // of A and B, which stay put
};

TEST_F(ActorTest, AttachKeepsTheWorldOrTheLocalTransformAndRefusesBadParents) {
    for (const std::string mode : {"", "Keep", "Other"}) {
        SCOPED_TRACE("mode '" + mode + "'");
        Actor actor("door", links);
        actor.attachTo("A", mode);  // the first attach makes the node at A's origin
        Ogre::SceneNode* node = actor.getNode();
        expectNear(parentA->_getDerivedPosition(), node->_getDerivedPosition());
        actor.setPosition("SetLocal", Vector3(1, 2, 3));
        actor.setRotation("SetLocal", Vector3::UNIT_X, 30);
        const WorldTransform before = worldTransform(node);
        const Quaternion local = node->getOrientation();
        actor.attachTo("B", mode);
        EXPECT_EQ(node->getParent(), parentB);
        if (mode == "Other") {
            expectNear(Vector3(1, 2, 3), node->getPosition());
            expectSame(local, node->getOrientation());
        } else {
            expectNear(before.position, node->_getDerivedPosition());
            expectSame(before.orientation, node->_getDerivedOrientation());
        }
    }
    Actor actor("door", links);
    actor.attachTo("A", "");
    world.scene().getSceneNode("door")->createChildSceneNode("handle");
    actor.attachTo("handle", "");
    EXPECT_EQ(world.logs.count("ERROR. Trying to attach actor below its own scenenode: handle"), 1);
    actor.attachTo("Nowhere", "");
    EXPECT_EQ(world.logs.count("ERROR. Trying to attach actor to non existing scenenode: Nowhere"),
              1);
    EXPECT_EQ(actor.getNode()->getParent(), nullptr);  // left detached, not lost
    EXPECT_EQ(parentA->numChildren(), 0u);
}

TEST_F(ActorTest, PositionWordsSelectTheirFramesAndSeeAncestorsMovedSinceTheLastFrame) {
    Actor actor("door", links);
    actor.setPosition("SetLocal", Vector3(1, 0, 0));
    EXPECT_EQ(world.logs.count("with no scenenode: door"), 1);
    parentA->createChildSceneNode("mid", Vector3(0, 1, 0));
    actor.attachTo("mid", "");
    Ogre::SceneNode* node = actor.getNode();
    world.scene().getRootSceneNode()->_update(true, false);  // a drawn frame
    parentA->translate(0, 0, 7);                             // then the grandparent moves and turns
    parentA->yaw(Ogre::Degree(30));
    actor.setPosition("Anything", Vector3(3, 4, 5));  // any other word: world
    expectNear(Vector3(3, 4, 5), worldTransform(node).position);
    actor.setPosition("MoveWorld", Vector3(1, 0, 0));
    expectNear(Vector3(4, 4, 5), worldTransform(node).position);
    actor.setPosition("SetLocal", Vector3(1, 0, 0));
    actor.setPosition("MoveParent", Vector3(1, 0, 0));
    expectNear(Vector3(2, 0, 0), node->getPosition());
    actor.setRotation("SetLocal", Vector3::UNIT_Z, 90);
    actor.setPosition("MoveLocal", Vector3(1, 0, 0));
    expectNear(Vector3(2, 1, 0), node->getPosition());
}

TEST_F(ActorTest, RotationWordsResetOrAccumulate) {
    Actor actor("door", links);
    actor.attachTo("A", "");
    Ogre::SceneNode* node = actor.getNode();
    actor.setRotation("SetParent", Vector3(0, 0, 5), 90);  // absolute; the axis is normalised
    actor.setRotation("SetParent", Vector3(0, 0, 5), 90);
    expectSame(Quaternion(Ogre::Degree(90), Vector3::UNIT_Z), node->getOrientation());
    actor.setRotation("AddLocal", Vector3::UNIT_Z, 90);
    expectSame(Quaternion(Ogre::Degree(180), Vector3::UNIT_Z), node->getOrientation());
    // Any other word resets, then turns about a world axis after the parent.
    actor.setRotation("", Vector3::UNIT_X, 90);
    actor.setRotation("", Vector3::UNIT_X, 90);
    expectSame(Quaternion(Ogre::Degree(90), Vector3::UNIT_X) * parentA->_getDerivedOrientation(),
               node->_getDerivedOrientation());
    const Quaternion wanted(Ogre::Degree(30), Vector3::UNIT_X);
    actor.setWorldOrientation(wanted);
    expectSame(wanted, node->_getDerivedOrientation());
}

TEST_F(ActorTest, VelocityAndSpinMoveEachTickInTheirFrames) {
    Actor inWorld("world", links);
    inWorld.attachTo("A", "");                           // turned and scaled parent
    inWorld.setVelocity(Vector3(10, 0, 0), "AddWorld");  // not a motion word: world
    Actor local("local", links);
    local.attachTo("B", "");
    local.setRotation("SetLocal", Vector3::UNIT_Y, 90);
    local.setVelocity(Vector3(10, 0, 0), "AddLocal");
    Actor spinner("spinner", links);
    spinner.attachTo("B", "");
    spinner.setSpin(Vector3::UNIT_Y, 50, "AddParent");  // 1 degree per tick

    const Vector3 worldStart = inWorld.getNode()->_getDerivedPosition();
    const Vector3 localStart = local.getNode()->_getDerivedPosition();
    const Vector3 localAxis = local.getNode()->_getDerivedOrientation() * Vector3::UNIT_X;
    for (int tick = 1; tick <= 10; ++tick) {
        for (Actor* actor : {&inWorld, &local, &spinner}) {
            actor->update(frames);
        }
    }
    expectNear(worldStart + Vector3(2, 0, 0), inWorld.getNode()->_getDerivedPosition());
    expectNear(localStart + localAxis * 2, local.getNode()->_getDerivedPosition());
    expectSame(Quaternion(Ogre::Degree(10), Vector3::UNIT_Y), spinner.getNode()->getOrientation());
}

TEST_F(ActorTest, AutoOrientationTurnsTheNodeAlongANewVelocityOnly) {
    Actor actor("car", links);
    actor.setEntity("", "1x");
    actor.attachTo("B", "");
    Ogre::SceneNode* node = actor.getNode();
    actor.setVelocity(Vector3(10, 0, 0), "");
    // The node's -Y axis points along the velocity, in the parent's frame.
    expectNear(Vector3::UNIT_X, node->getOrientation() * Vector3::NEGATIVE_UNIT_Y);
    actor.setRotation("SetParent", Vector3::UNIT_Y, 45);  // turned by hand while moving
    const Quaternion byHand = node->getOrientation();
    actor.update(frames);
    actor.setEntity("", "");  // the flag stays on
    actor.setVelocity(Vector3::ZERO, "");
    expectSame(byHand, node->getOrientation());
    EXPECT_TRUE(actor.getAutoOrient());
}

TEST_F(ActorTest, ATemporaryMaterialLastsItsTicksThenTheBaseOrTheMeshsReturns) {
    Actor actor("door", links);
    actor.setEntity("plane.mesh", "");  // before the node: attached on attach
    actor.attachTo("A", "");
    const std::string meshMaterial = materialOf(actor);
    actor.setMaterial("TempMat", 0.1f);
    actor.update(frames);
    EXPECT_EQ(materialOf(actor), "TempMat");
    actor.update(frames);
    EXPECT_EQ(materialOf(actor), meshMaterial);

    actor.setMaterial("BaseMat", 0);
    actor.setMaterial("TempMat", 1);
    actor.setMaterial("CastNoShadow", 0);
    EXPECT_FALSE(actor.getEntity()->getCastShadows());
    for (int tick = 1; tick < 20; ++tick) {
        actor.update(frames);
        ASSERT_EQ(materialOf(actor), "TempMat") << "tick " << tick;
    }
    actor.update(frames);
    EXPECT_EQ(materialOf(actor), "BaseMat");
    EXPECT_TRUE(actor.getEntity()->getCastShadows());  // the rebuilt entity
    EXPECT_EQ(actor.getEntity()->getParentSceneNode(), actor.getNode());
    actor.setMaterial("TempMat", -1);  // permanent, but not the base
    actor.update(frames);
    EXPECT_EQ(materialOf(actor), "TempMat");
    EXPECT_EQ(actor.getBaseMaterial(), "BaseMat");
}

TEST_F(ActorTest, AnAnimationKeepsItsTimeWhenStoppedAndRewindsWhenStarted) {
    Ogre::MeshPtr mesh = Ogre::MeshManager::getSingleton().getByName("plane.mesh");
    mesh->load();
    mesh->createAnimation("wave", 1.0f)->createVertexTrack(0, Ogre::VAT_MORPH);
    Actor actor("flag", links);
    actor.attachTo("A", "");
    actor.setEntity("plane.mesh", "");
    actor.setAnimation("wave");
    Ogre::AnimationState* wave = actor.getAnimation();
    ASSERT_NE(wave, nullptr);
    actor.update(frames);
    EXPECT_FLOAT_EQ(wave->getTimePosition(), 0.02f);
    actor.setAnimation("");
    EXPECT_FALSE(wave->getEnabled());
    actor.update(frames);
    EXPECT_FLOAT_EQ(wave->getTimePosition(), 0.04f);
    actor.setAnimation("wave");
    EXPECT_FLOAT_EQ(wave->getTimePosition(), 0.0f);
}

TEST_F(ActorTest, UnknownMeshesAnimationsAndParticleTemplatesAreLoggedAndChangeNothing) {
    Actor actor("door", links);
    actor.attachTo("A", "");
    actor.setEntity("missing.mesh", "");
    actor.setEntity("plane.mesh", "");
    actor.setAnimation("missing");
    actor.setParticles("NoSuchTemplate");
    EXPECT_EQ(world.logs.count("Error: Actor::setEntity(door): no mesh named missing.mesh"), 1);
    EXPECT_EQ(world.logs.count("Error: Actor::setAnimation(door): no animation named missing"), 1);
    EXPECT_EQ(world.logs.count("Error: Actor::setParticles(door): no particle template named "
                               "NoSuchTemplate"),
              1);
    EXPECT_EQ(actor.getAnimation(), nullptr);
    EXPECT_EQ(actor.getParticles(), nullptr);
}

TEST_F(ActorTest, TeardownRemovesWhatTheActorMadeAndKeepsNodesHungBelowIt) {
    Ogre::SceneNode* handle = nullptr;
    WorldTransform before;
    {
        Actor actor("door", links);
        actor.attachTo("A", "");
        actor.setEntity("plane.mesh", "");
        Ogre::SceneNode* node = actor.getNode();
        node->setPosition(1, 2, 3);
        node->roll(Ogre::Degree(30));
        node->setScale(0.5f, 0.5f, 0.5f);
        handle = node->createChildSceneNode("handle", Vector3(1, 0, 0));
        handle->pitch(Ogre::Degree(20));
        before = worldTransform(handle);
    }
    EXPECT_FALSE(world.scene().hasSceneNode("door"));
    EXPECT_FALSE(world.scene().hasEntity("door"));
    // The level's node moves up to the actor's parent, where it was in the world.
    EXPECT_EQ(handle->getParentSceneNode(), parentA);
    const WorldTransform after = worldTransform(handle);
    expectNear(before.position, after.position);
    expectSame(before.orientation, after.orientation);
    expectNear(before.scale, after.scale);
}

}  // namespace
}  // namespace vantor
