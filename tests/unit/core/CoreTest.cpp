// The foundation: the one conversion of script numbers and world transforms
// composed afresh from a node's ancestors.

#include <OgreSceneManager.h>
#include <OgreSceneNode.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/NodeTransform.h"
#include "core/Numbers.h"
#include "support/HeadlessOgre.h"

namespace vantor {
namespace {

TEST(NumbersTest, ScriptNumbersTruncateTowardZeroAndSaturateAndNaNReadsAsZero) {
    EXPECT_EQ(truncateToInt(2.9), 2);
    EXPECT_EQ(truncateToInt(-2.9), -2);
    EXPECT_EQ(truncateToInt(std::nan("")), 0);
    EXPECT_EQ(truncateToInt(1e300), std::numeric_limits<int>::max());
    EXPECT_EQ(truncateToInt(-INFINITY), std::numeric_limits<int>::min());
    EXPECT_EQ(truncateTo<int64_t>(-4294967296.5), -4294967296);
    EXPECT_EQ(boundedFloat(std::nan("")), 0.0f);
    EXPECT_EQ(boundedFloat(INFINITY), 1e9f);
    EXPECT_EQ(boundedFloat(-3.5), -3.5f);
}

using Ogre::Quaternion;
using Ogre::Vector3;

// A chain root -> turned and scaled -> turned -> leaf, checked against OGRE's
// own world transforms after a full scene-graph update.
class NodeTransformTest : public ::testing::Test {
protected:
    NodeTransformTest() {
        Ogre::SceneNode* root = ogre.sceneManager()->getRootSceneNode();
        outer = root->createChildSceneNode("outer", Vector3(3, -2, 7),
                                           Quaternion(Ogre::Degree(40), Vector3(1, 2, 0.5f)));
        outer->setScale(2, 0.5f, 1.5f);
        inner = outer->createChildSceneNode("inner", Vector3(-1, 4, 2),
                                            Quaternion(Ogre::Degree(-75), Vector3::UNIT_Y));
        leaf = inner->createChildSceneNode("leaf", Vector3(0.5f, 0, -1),
                                           Quaternion(Ogre::Degree(20), Vector3::UNIT_X));
    }

    // OGRE's cached world transforms, refreshed from the root.
    void refresh() { ogre.sceneManager()->getRootSceneNode()->_update(true, false); }

    test::HeadlessOgre ogre;
    Ogre::SceneNode* outer;
    Ogre::SceneNode* inner;
    Ogre::SceneNode* leaf;
};

TEST_F(NodeTransformTest, ComposedTransformsMatchOgreWithAndWithoutInheritance) {
    for (const bool inherit : {true, false}) {
        inner->setInheritOrientation(inherit);
        inner->setInheritScale(inherit);
        refresh();
        for (Ogre::SceneNode* node : {outer, inner, leaf}) {
            const WorldTransform world = worldTransform(node);
            EXPECT_TRUE(world.position.positionEquals(node->_getDerivedPosition(), 1e-4f))
                << node->getName() << " " << world.position;
            EXPECT_TRUE(
                world.orientation.equals(node->_getDerivedOrientation(), Ogre::Degree(0.1f)))
                << node->getName();
            EXPECT_TRUE(world.scale.positionEquals(node->_getDerivedScale(), 1e-5f))
                << node->getName();
            EXPECT_TRUE(worldOrientation(node).equals(world.orientation, Ogre::Degree(0.1f)));
            EXPECT_TRUE(worldScale(node).positionEquals(world.scale, 1e-5f));
        }
    }
}

TEST_F(NodeTransformTest, WorldMovesAndTurnsAreExactInWorldAxesBelowTurnedScaledParents) {
    const Quaternion turn(Ogre::Degree(30), Vector3(0, 1, 1).normalisedCopy());
    for (const bool inherit : {true, false}) {
        leaf->setInheritOrientation(inherit);
        refresh();
        const Vector3 before = leaf->_getDerivedPosition();
        const Quaternion facing = leaf->_getDerivedOrientation();

        translateInWorld(leaf, Vector3(1, -2, 0.5f));
        refresh();
        EXPECT_TRUE(
            leaf->_getDerivedPosition().positionEquals(before + Vector3(1, -2, 0.5f), 1e-4f))
            << leaf->_getDerivedPosition();

        // An unnormalised rotation turns by its direction alone; the node stays put.
        rotateInWorld(leaf, turn * 3.0f);
        refresh();
        EXPECT_TRUE(leaf->_getDerivedOrientation().equals(turn * facing, Ogre::Degree(0.1f)));
        EXPECT_TRUE(
            leaf->_getDerivedPosition().positionEquals(before + Vector3(1, -2, 0.5f), 1e-4f));

        setWorldPosition(leaf, Vector3(-5, 6, 7));
        refresh();
        EXPECT_TRUE(leaf->_getDerivedPosition().positionEquals(Vector3(-5, 6, 7), 1e-4f));
    }
}

}  // namespace
}  // namespace vantor
