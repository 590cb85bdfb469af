// One actor's operations on a headless scene: attaching, the frame words of
// positions, rotations and motion, materials, animations and its teardown.

#include <Ogre.h>
#include <gtest/gtest.h>

#include "core/NodeTransform.h"
#include "support/TestWorld.h"
#include "world/Actor.h"

namespace vantor {
namespace {

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
            actor->update();
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
    actor.update();
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
    actor.update();
    EXPECT_EQ(materialOf(actor), "TempMat");
    actor.update();
    EXPECT_EQ(materialOf(actor), meshMaterial);

    actor.setMaterial("BaseMat", 0);
    actor.setMaterial("TempMat", 1);
    actor.setMaterial("CastNoShadow", 0);
    EXPECT_FALSE(actor.getEntity()->getCastShadows());
    for (int tick = 1; tick < 20; ++tick) {
        actor.update();
        ASSERT_EQ(materialOf(actor), "TempMat") << "tick " << tick;
    }
    actor.update();
    EXPECT_EQ(materialOf(actor), "BaseMat");
    EXPECT_TRUE(actor.getEntity()->getCastShadows());  // the rebuilt entity
    EXPECT_EQ(actor.getEntity()->getParentSceneNode(), actor.getNode());
    actor.setMaterial("TempMat", -1);  // permanent, but not the base
    actor.update();
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
    actor.update();
    EXPECT_FLOAT_EQ(wave->getTimePosition(), 0.02f);
    actor.setAnimation("");
    EXPECT_FALSE(wave->getEnabled());
    actor.update();
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
