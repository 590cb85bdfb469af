#include <Ogre.h>
#include <gtest/gtest.h>

#include "core/NodeTransform.h"
#include "support/TestWorld.h"
#include "world/Actor.h"
#include "world/LogCapture.h"

namespace vantor {
namespace {

using Ogre::Quaternion;
using Ogre::Vector3;

constexpr float kEps = 1e-4f;

void expectNear(const Vector3& expected, const Vector3& actual) {
    EXPECT_NEAR(expected.x, actual.x, kEps);
    EXPECT_NEAR(expected.y, actual.y, kEps);
    EXPECT_NEAR(expected.z, actual.z, kEps);
}

class ActorTest : public ::testing::Test {
protected:
    ActorTest() : sceneMgr(&world.scene()), links(world.simulation->links()) {
        root = sceneMgr->getRootSceneNode();
        // A parent that moves, turns and scales whatever hangs below it.
        parentA = root->createChildSceneNode("A", Vector3(10, 0, 0));
        parentA->yaw(Ogre::Degree(90));
        parentA->setScale(2, 2, 2);
        parentB = root->createChildSceneNode("B", Vector3(0, 5, 0));
        parentB->roll(Ogre::Degree(45));
    }

    // A mesh the actor can make entities of.
    void makeMesh() {
        Ogre::MeshManager::getSingleton().createPlane(
            "plane.mesh", Ogre::ResourceGroupManager::DEFAULT_RESOURCE_GROUP_NAME,
            Ogre::Plane(Vector3::UNIT_Z, 0), 10, 10);
        auto& materials = Ogre::MaterialManager::getSingleton();
        for (const char* name : {"BaseMat", "TempMat"}) {
            materials.create(name, Ogre::ResourceGroupManager::DEFAULT_RESOURCE_GROUP_NAME);
        }
    }

    static std::string materialOf(const Actor& actor) {
        return actor.getEntity()->getSubEntity(0)->getMaterialName();
    }

    test::TestWorld world;
    Ogre::SceneManager* sceneMgr;
    const WorldLinks& links;
    Ogre::SceneNode* root = nullptr;
    Ogre::SceneNode* parentA = nullptr;
    Ogre::SceneNode* parentB = nullptr;
    test::LogCapture logs;
};

TEST_F(ActorTest, FirstAttachCreatesNodeAtParentOrigin) {
    Actor actor("door", links);
    EXPECT_EQ(nullptr, sceneMgr->getSceneNode("door", false));
    actor.attachTo("A", "whatever");
    ASSERT_NE(nullptr, actor.getNode());
    EXPECT_EQ(parentA, actor.getNode()->getParent());
    EXPECT_EQ("door", actor.getNode()->getName());
    expectNear(parentA->_getDerivedPosition(), actor.getNode()->_getDerivedPosition());
}

TEST_F(ActorTest, AttachModesKeepWorldOrLocalTransform) {
    for (const std::string mode : {"", "Keep", "Other"}) {
        SCOPED_TRACE("mode '" + mode + "'");
        Actor actor("door", links);
        actor.attachTo("A", "");
        actor.setPosition("SetLocal", Vector3(1, 2, 3));
        actor.setRotation("SetLocal", Vector3::UNIT_X, 30);
        Ogre::SceneNode* node = actor.getNode();
        const Vector3 worldBefore = node->_getDerivedPosition();
        const Quaternion worldOrientationBefore = node->_getDerivedOrientation();
        const Quaternion localOrientationBefore = node->getOrientation();

        actor.attachTo("B", mode);
        EXPECT_EQ(parentB, node->getParent());
        if (mode == "Other") {
            expectNear(Vector3(1, 2, 3), node->getPosition());
            EXPECT_TRUE(localOrientationBefore.equals(node->getOrientation(), Ogre::Degree(0.01f)));
            EXPECT_GT(worldBefore.distance(node->_getDerivedPosition()), 1.0f);
        } else {
            // Scale is not touched, so keeping the world transform under an
            // unscaled parent is exact.
            expectNear(worldBefore, node->_getDerivedPosition());
            EXPECT_TRUE(
                worldOrientationBefore.equals(node->_getDerivedOrientation(), Ogre::Degree(0.01f)));
        }
    }
}

TEST_F(ActorTest, AttachToMissingNodeLeavesNodeDetached) {
    Actor actor("door", links);
    actor.attachTo("A", "");
    actor.attachTo("Nowhere", "");
    EXPECT_EQ(1, logs.count("ERROR. Trying to attach actor to non existing scenenode: Nowhere"));
    ASSERT_NE(nullptr, actor.getNode());
    EXPECT_EQ(nullptr, actor.getNode()->getParent());
    EXPECT_EQ(0u, parentA->numChildren());
    EXPECT_TRUE(sceneMgr->hasSceneNode("door"));

    // A detached node takes world coordinates as its own.
    actor.setPosition("", Vector3(4, 5, 6));
    expectNear(Vector3(4, 5, 6), actor.getNode()->getPosition());
}

TEST_F(ActorTest, AttachBelowItselfIsRefused) {
    Actor actor("door", links);
    actor.attachTo("A", "");
    sceneMgr->getSceneNode("door")->createChildSceneNode("handle");
    actor.attachTo("handle", "");
    actor.attachTo("door", "");
    EXPECT_EQ(1, logs.count("below its own scenenode: handle"));
    EXPECT_EQ(1, logs.count("below its own scenenode: door"));
    EXPECT_EQ(nullptr, actor.getNode()->getParent());
}

TEST_F(ActorTest, PositionWordsSelectFrames) {
    Actor actor("door", links);
    actor.setPosition("SetLocal", Vector3(1, 0, 0));
    actor.setRotation("", Vector3::UNIT_Y, 90);
    EXPECT_EQ(2, logs.count("ERROR. Trying to set position for actor with no scenenode: door"));

    actor.attachTo("A", "");
    Ogre::SceneNode* node = actor.getNode();
    // World word: the parent's turn and scale are undone exactly.
    actor.setPosition("Anything", Vector3(3, 4, 5));
    expectNear(Vector3(3, 4, 5), node->_getDerivedPosition());
    actor.setPosition("MoveWorld", Vector3(1, 0, 0));
    expectNear(Vector3(4, 4, 5), node->_getDerivedPosition());
    actor.setPosition("SetLocal", Vector3(1, 0, 0));
    expectNear(Vector3(1, 0, 0), node->getPosition());
    actor.setPosition("MoveParent", Vector3(1, 0, 0));
    expectNear(Vector3(2, 0, 0), node->getPosition());
    actor.setRotation("SetLocal", Vector3::UNIT_Z, 90);
    actor.setPosition("MoveLocal", Vector3(1, 0, 0));
    expectNear(Vector3(2, 1, 0), node->getPosition());
}

TEST_F(ActorTest, WorldWordsSeeAncestorsMovedSinceTheLastFrame) {
    Ogre::SceneNode* mid = parentA->createChildSceneNode("mid", Vector3(0, 1, 0));
    Actor actor("door", links);
    actor.attachTo("mid", "");
    Ogre::SceneNode* node = actor.getNode();
    root->_update(true, false);  // a drawn frame: every cached transform is current
    // Between frames the grandparent moves and turns, then the actor is placed.
    parentA->translate(0, 0, 7);
    parentA->yaw(Ogre::Degree(30));
    actor.setPosition("", Vector3(3, 4, 5));
    actor.setRotation("", Vector3::UNIT_Z, 90);
    actor.setVelocity(Vector3(0, 10, 0), "");
    actor.update();
    root->_update(true, false);  // what the next frame shows
    expectNear(Vector3(3, 4.2f, 5), node->_getDerivedPosition());
    const Quaternion expected =
        Quaternion(Ogre::Degree(90), Vector3::UNIT_Z) * mid->_getDerivedOrientation();
    EXPECT_TRUE(expected.equals(node->_getDerivedOrientation(), Ogre::Degree(0.01f)));
}

TEST_F(ActorTest, RotationWordsResetOrAccumulate) {
    Actor actor("door", links);
    actor.attachTo("A", "");
    Ogre::SceneNode* node = actor.getNode();
    // Set words are absolute, and the axis is normalised.
    actor.setRotation("SetParent", Vector3(0, 0, 5), 90);
    const Quaternion once = node->getOrientation();
    actor.setRotation("SetParent", Vector3(0, 0, 5), 90);
    EXPECT_TRUE(once.equals(node->getOrientation(), Ogre::Degree(0.01f)));
    EXPECT_TRUE(once.equals(Quaternion(Ogre::Degree(90), Vector3::UNIT_Z), Ogre::Degree(0.01f)));
    // Add words accumulate.
    actor.setRotation("AddLocal", Vector3::UNIT_Z, 90);
    EXPECT_TRUE(node->getOrientation().equals(Quaternion(Ogre::Degree(180), Vector3::UNIT_Z),
                                              Ogre::Degree(0.01f)));
    // The default word resets the node, then turns it about a world axis:
    // the world orientation is the turn applied after the parent's.
    actor.setRotation("", Vector3::UNIT_X, 90);
    const Quaternion expected =
        Quaternion(Ogre::Degree(90), Vector3::UNIT_X) * parentA->_getDerivedOrientation();
    EXPECT_TRUE(node->_getDerivedOrientation().equals(expected, Ogre::Degree(0.01f)));
    actor.setRotation("", Vector3::UNIT_X, 90);
    EXPECT_TRUE(node->_getDerivedOrientation().equals(expected, Ogre::Degree(0.01f)));
}

TEST_F(ActorTest, WorldOrientationUndoesParentTurn) {
    Actor actor("door", links);
    actor.setWorldOrientation(Quaternion::IDENTITY);  // no node: nothing happens
    actor.attachTo("A", "");
    const Quaternion wanted(Ogre::Degree(30), Vector3::UNIT_X);
    actor.setWorldOrientation(wanted);
    EXPECT_TRUE(wanted.equals(actor.getNode()->_getDerivedOrientation(), Ogre::Degree(0.01f)));
}

TEST_F(ActorTest, VelocityMovesEachTickInItsFrame) {
    Actor world("world", links);
    world.attachTo("A", "");                           // under a turned and scaled parent
    world.setVelocity(Vector3(10, 0, 0), "AddWorld");  // not a velocity word: world
    Actor local("local", links);
    local.attachTo("B", "");
    local.setRotation("SetLocal", Vector3::UNIT_Y, 90);
    local.setVelocity(Vector3(10, 0, 0), "AddLocal");

    const Vector3 worldStart = world.getNode()->_getDerivedPosition();
    const Vector3 localStart = local.getNode()->_getDerivedPosition();
    const Vector3 localAxis = local.getNode()->_getDerivedOrientation() * Vector3::UNIT_X;
    for (int tick = 1; tick <= 5; ++tick) {
        world.update();
        local.update();
        expectNear(worldStart + Vector3(0.2f * tick, 0, 0), world.getNode()->_getDerivedPosition());
        expectNear(localStart + localAxis * 0.2f * tick, local.getNode()->_getDerivedPosition());
    }
}

TEST_F(ActorTest, SpinTurnsEachTick) {
    Actor actor("door", links);
    actor.attachTo("B", "");
    actor.setSpin(Vector3::UNIT_Y, 50, "AddParent");  // 1 degree per tick
    for (int i = 0; i < 10; ++i) {
        actor.update();
    }
    EXPECT_TRUE(actor.getNode()->getOrientation().equals(
        Quaternion(Ogre::Degree(10), Vector3::UNIT_Y), Ogre::Degree(0.01f)));
}

TEST_F(ActorTest, AutoOrientationTurnsOnceAndStaysOn) {
    Actor actor("car", links);
    actor.setEntity("", "1x");
    EXPECT_TRUE(actor.getAutoOrient());
    actor.attachTo("B", "");
    Ogre::SceneNode* node = actor.getNode();

    actor.setVelocity(Vector3(10, 0, 0), "");
    // The node's -Y axis points along the velocity, in the parent's frame.
    expectNear(Vector3::UNIT_X, node->getOrientation() * Vector3::NEGATIVE_UNIT_Y);
    const Quaternion turned = node->getOrientation();
    // Turning the node by hand while it moves: nothing turns it back.
    actor.setRotation("SetParent", Vector3::UNIT_Y, 45);
    const Quaternion byHand = node->getOrientation();
    for (int i = 0; i < 5; ++i) {
        actor.update();
    }
    EXPECT_TRUE(byHand.equals(node->getOrientation(), Ogre::Degree(0.01f)));
    EXPECT_FALSE(turned.equals(byHand, Ogre::Degree(1)));

    actor.setEntity("", "");
    EXPECT_TRUE(actor.getAutoOrient());
    actor.setVelocity(Vector3::ZERO, "");
    EXPECT_TRUE(byHand.equals(node->getOrientation(), Ogre::Degree(0.01f)));
}

TEST_F(ActorTest, TemporaryMaterialLastsTwentyTicksThenBaseReturns) {
    makeMesh();
    Actor actor("door", links);
    actor.setEntity("plane.mesh", "");  // before the node: attached on attach
    actor.attachTo("A", "");
    ASSERT_NE(nullptr, actor.getEntity());
    EXPECT_TRUE(actor.getEntity()->isAttached());

    actor.setMaterial("BaseMat", 0);
    actor.setMaterial("TempMat", 1);
    actor.setMaterial("CastNoShadow", 0);
    EXPECT_FALSE(actor.getEntity()->getCastShadows());
    EXPECT_EQ("BaseMat", actor.getBaseMaterial());
    EXPECT_FLOAT_EQ(1.0f, actor.getMaterialTimer());

    for (int tick = 1; tick < 20; ++tick) {
        actor.update();
        ASSERT_EQ("TempMat", materialOf(actor)) << "tick " << tick;
    }
    actor.update();
    EXPECT_EQ("BaseMat", materialOf(actor));
    EXPECT_EQ(0.0f, actor.getMaterialTimer());
    EXPECT_TRUE(actor.getEntity()->getCastShadows());
    EXPECT_EQ(actor.getNode(), actor.getEntity()->getParentSceneNode());
}

TEST_F(ActorTest, ExpiredMaterialWithoutBaseShowsMeshMaterial) {
    makeMesh();
    Actor actor("door", links);
    actor.attachTo("A", "");
    actor.setEntity("plane.mesh", "");
    const std::string meshMaterial = materialOf(actor);
    actor.setMaterial("TempMat", 0.1f);
    actor.update();
    EXPECT_EQ("TempMat", materialOf(actor));
    actor.update();
    EXPECT_EQ(meshMaterial, materialOf(actor));
    // A negative duration is permanent but not remembered as the base.
    actor.setMaterial("TempMat", -1);
    actor.update();
    EXPECT_EQ("TempMat", materialOf(actor));
    EXPECT_EQ("", actor.getBaseMaterial());
}

TEST_F(ActorTest, EmptiedAnimationStaysReferencedAndKeepsTime) {
    makeMesh();
    // A mesh animation with a vertex track gives entities an animation state.
    Ogre::MeshPtr mesh = Ogre::MeshManager::getSingleton().getByName("plane.mesh");
    mesh->load();
    mesh->createAnimation("wave", 1.0f)->createVertexTrack(0, Ogre::VAT_MORPH);
    Actor actor("flag", links);
    actor.setAnimation("wave");  // no entity: nothing
    EXPECT_EQ(nullptr, actor.getAnimation());
    actor.attachTo("A", "");
    actor.setEntity("plane.mesh", "");
    actor.setAnimation("missing");
    EXPECT_EQ(1, logs.count("Error: Actor::setAnimation(flag): no animation named missing"));
    actor.setAnimation("wave");
    Ogre::AnimationState* wave = actor.getAnimation();
    ASSERT_NE(nullptr, wave);
    EXPECT_TRUE(wave->getEnabled());
    actor.update();
    EXPECT_FLOAT_EQ(0.02f, wave->getTimePosition());
    actor.setAnimation("");
    EXPECT_EQ(wave, actor.getAnimation());
    EXPECT_FALSE(wave->getEnabled());
    actor.update();
    EXPECT_FLOAT_EQ(0.04f, wave->getTimePosition());
    // Starting it again rewinds it.
    actor.setAnimation("wave");
    EXPECT_FLOAT_EQ(0.0f, wave->getTimePosition());
}

TEST_F(ActorTest, EntityRemovedAndUnknownMeshLogged) {
    makeMesh();
    Actor actor("door", links);
    actor.attachTo("A", "");
    actor.setEntity("plane.mesh", "");
    EXPECT_TRUE(sceneMgr->hasEntity("door"));
    actor.setEntity("", "");
    EXPECT_FALSE(sceneMgr->hasEntity("door"));
    EXPECT_EQ("", actor.getMeshName());
    actor.setEntity("missing.mesh", "");
    EXPECT_EQ(1, logs.count("Error: Actor::setEntity(door): no mesh named missing.mesh"));
    EXPECT_EQ(nullptr, actor.getEntity());
}

TEST_F(ActorTest, UnknownMessageTypesAreLoggedAndIgnored) {
    Actor actor("door", links);
    actor.attachTo("A", "");
    const Vector3 before = actor.getNode()->getPosition();
    for (int type : {12, -1}) {
        ActorMessage message;
        message.actorName = "door";
        message.type = type;
        message.word1 = "SetLocal";
        message.vector = Vector3(9, 9, 9);
        actor.handleMessage(message);
    }
    EXPECT_EQ(1, logs.count("Error. Unknown ActorMessageType: 12"));
    EXPECT_EQ(1, logs.count("Error. Unknown ActorMessageType: -1"));
    expectNear(before, actor.getNode()->getPosition());

    ActorMessage position;
    position.type = static_cast<int32_t>(ActorMessageType::Position);
    position.word1 = "SetLocal";
    position.vector = Vector3(9, 9, 9);
    actor.handleMessage(position);
    expectNear(Vector3(9, 9, 9), actor.getNode()->getPosition());
}

TEST_F(ActorTest, DestructionRemovesWhatTheActorMade) {
    makeMesh();
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
        handle->setScale(1, 2, 1);
        before = worldTransform(handle);
    }
    EXPECT_FALSE(sceneMgr->hasSceneNode("door"));
    EXPECT_FALSE(sceneMgr->hasEntity("door"));
    // Children of the actor's node survive, moved up to the actor's parent
    // without moving in the world.
    ASSERT_TRUE(sceneMgr->hasSceneNode("handle"));
    EXPECT_EQ(1u, parentA->numChildren());
    EXPECT_EQ(parentA, handle->getParentSceneNode());
    const WorldTransform after = worldTransform(handle);
    expectNear(before.position, after.position);
    EXPECT_TRUE(before.orientation.equals(after.orientation, Ogre::Degree(0.01f)));
    expectNear(before.scale, after.scale);
}

// Particle systems themselves need a controller manager, which only an
// initialised root has: covered by the engine tests.
TEST_F(ActorTest, ParticleWordsWithoutTemplateOrNode) {
    Actor actor("fire", links);
    actor.setParticles("Smoke");  // no node: silently nothing
    EXPECT_EQ(0, logs.count("particle"));
    actor.attachTo("A", "");
    actor.setParticles("NoSuchTemplate");
    EXPECT_EQ(
        1,
        logs.count("Error: Actor::setParticles(fire): no particle template named NoSuchTemplate"));
    EXPECT_EQ(nullptr, actor.getParticles());
}

}  // namespace
}  // namespace vantor
