#include <OgreSceneManager.h>
#include <OgreSceneNode.h>
#include <gtest/gtest.h>

#include "sound/AudioDevice.h"
#include "sound/CSound.h"
#include "sound/SoundTestSupport.h"
#include "support/HeadlessOgre.h"

namespace vantor {
namespace {

void expectNear(const AudioVector& v, const Ogre::Vector3& expected) {
    EXPECT_NEAR(v.x, expected.x, 1e-5f);
    EXPECT_NEAR(v.y, expected.y, 1e-5f);
    EXPECT_NEAR(v.z, expected.z, 1e-5f);
}

TEST(ListenerTest, FollowsTheNodesWorldTransformNotItsLocalOne) {
    test::useNullAudio();
    test::HeadlessOgre ogre;
    Ogre::SceneNode* parent = ogre.sceneManager()->getRootSceneNode()->createChildSceneNode(
        "Carrier", Ogre::Vector3(10, 0, 0));
    parent->yaw(Ogre::Degree(90));
    Ogre::SceneNode* node = parent->createChildSceneNode("_CameraNode", Ogre::Vector3(0, 2, 5));
    node->pitch(Ogre::Degree(30));

    CSound sound;
    ASSERT_TRUE(sound.getDevice().isInitialised());
    sound.placeListener(*node);

    AudioVector position, front, top;
    ASSERT_TRUE(sound.getDevice().get3DPosition(&position, &front, &top));
    const Ogre::Quaternion world = node->_getDerivedOrientation();
    expectNear(position, node->_getDerivedPosition());
    expectNear(front, world.zAxis());
    expectNear(top, world.yAxis());
    // Yawed by 90 degrees the parent moves the local z offset onto +x.
    EXPECT_NEAR(position.x, 15.0f, 1e-4f);
}

}  // namespace
}  // namespace vantor
