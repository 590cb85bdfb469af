// The follow camera on a headless scene and a hand-driven clock: the damped
// spring's steps, snapping, keeping out of level geometry, and levels without
// the nodes it follows.

#include <OgreCamera.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>
#include <gtest/gtest.h>

#include <cmath>

#include "camera/CameraController.h"
#include "collision/CollisionGeom.h"
#include "collision/CollisionMgr.h"
#include "support/HeadlessOgre.h"
#include "support/LogCapture.h"
#include "support/TestMeshes.h"

namespace vantor {
namespace {

using V = Ogre::Vector3;

// A level with a follow point at the origin and an avatar node.
class CameraControllerTest : public ::testing::Test {
protected:
    CameraControllerTest() {
        Ogre::SceneNode* root = ogre.sceneManager()->getRootSceneNode();
        follow = root->createChildSceneNode("_FollowCamera1");
        root->createChildSceneNode("_AVATAR");
        camera.attach();
    }

    V position() { return camera.getCameraNode()->_getDerivedPosition(); }

    test::HeadlessOgre ogre;
    test::LogCapture logs;
    platform::ManualClock clock{5000};
    CollisionMgr collision;
    CameraController camera{*ogre.sceneManager(), clock, &collision};
    Ogre::SceneNode* follow = nullptr;
};

TEST_F(CameraControllerTest, TheSpringStepsByTheTimeSinceItsLastStep) {
    EXPECT_EQ(camera.getMode(), Follow);
    EXPECT_EQ(position(), V::ZERO);  // attach snaps onto the follow point
    follow->setPosition(10, 0, 0);
    clock.advance(20);  // k = 0.02 * 3.75 / 0.5 = 0.15
    camera.update();
    EXPECT_EQ(position(), V::ZERO);  // from rest: only the velocity changes
    EXPECT_NEAR(camera.getVelocity().x, 1.5f, 1e-5f);
    camera.update();  // no time passed: nothing moves
    EXPECT_NEAR(camera.getVelocity().x, 1.5f, 1e-5f);
    clock.advance(20);
    camera.update();
    EXPECT_NEAR(position().x, 0.225f, 1e-5f);                      // the old velocity times k
    EXPECT_NEAR(camera.getVelocity().x, 1.5f + 7 * 0.15f, 1e-5f);  // (10 - 2 * 1.5) * k
    clock.advance(200);  // k >= 1: on the follow point at rest
    camera.update();
    EXPECT_EQ(position(), V(10, 0, 0));
    EXPECT_EQ(camera.getVelocity(), V::ZERO);
}

TEST_F(CameraControllerTest, ModeChangesRestartTheStepClockAndOnlyFollowMoves) {
    follow->setPosition(10, 0, 0);
    clock.advance(500);
    camera.setMode(Follow);  // the same mode: only the clock restarts
    camera.update();
    EXPECT_EQ(position(), V::ZERO);
    camera.setMode(Free);
    clock.advance(500);
    camera.update();
    EXPECT_EQ(position(), V::ZERO);
    // Following with a dampening of zero or below sits on the follow point.
    camera.setMode(Follow);
    for (float dampening : {0.0f, -1.0f}) {
        camera.setDampening(dampening);
        camera.update();  // no time passed: would be 0/0
        EXPECT_EQ(position(), V(10, 0, 0));
    }
}

TEST_F(CameraControllerTest, AskedToItStaysInFrontOfTheFirstSurfaceBetweenBallAndCamera) {
    // The ball ("_AVATAR") at the origin, a wall from x = 4.75 to 5.25.
    collision.createSpace("Solid", "");
    test::makeBoxMesh("WallMesh", V(-0.25f, -5, -5), V(0.25f, 5, 5));
    CollisionGeom* wall = collision.createGeom("Wall", "WallMesh");
    wall->setNode(
        ogre.sceneManager()->getRootSceneNode()->createChildSceneNode("Wall", V(5, 0, 0)));
    wall->update();
    collision.addGeomToSpace("Solid", wall);
    follow->setPosition(10, 0, 0);
    clock.advance(200);
    camera.update();
    EXPECT_EQ(position(), V(10, 0, 0));  // not asked: behind the wall

    camera.setCollisionSpace("Solid");
    clock.advance(200);
    camera.update();
    EXPECT_TRUE(position().positionEquals(V(4.75f - 0.6f, 0, 0), 1e-3f));
    for (int i = 0; i < 3; ++i) {  // the spring pulls outward; it does not get through
        clock.advance(20);
        camera.update();
    }
    EXPECT_TRUE(position().positionEquals(V(4.75f - 0.6f, 0, 0), 1e-3f));
    EXPECT_LE(camera.getVelocity().x, 0.0f);

    wall->node()->setPosition(0.5f, 0, 0);  // closer than the clearance
    wall->update();
    clock.advance(20);
    camera.update();
    EXPECT_TRUE(position().positionEquals(V(0.6f, 0, 0), 1e-3f));
}

TEST_F(CameraControllerTest, DestroyedOrMissingLevelNodesLeaveTheCameraFree) {
    // Removed while followed: the spring and the tracking forget them.
    ogre.sceneManager()->destroySceneNode("_AVATAR");
    ogre.sceneManager()->destroySceneNode("_FollowCamera1");
    clock.advance(20);
    camera.update();
    ogre.sceneManager()->getRootSceneNode()->_update(true, false);  // a drawn frame
    EXPECT_EQ(position(), V::ZERO);
    camera.detach();
    EXPECT_EQ(camera.getCamera()->getParentSceneNode(), nullptr);
    camera.attach();
    EXPECT_EQ(camera.getMode(), Free);
    EXPECT_EQ(camera.getCamera()->getParentSceneNode(), camera.getCameraNode());
    EXPECT_EQ(logs.count("the level has no scene node _FollowCamera1"), 1);
}

}  // namespace
}  // namespace vantor
