// The demo's generated meshes (tools/make_meshes.py through OgreXMLConverter)
// loaded the way a level loads them: from the "LevelData" group of a headless
// application, as entities and as collision geometry.

#include <OgreEntity.h>
#include <OgreMesh.h>
#include <OgreMeshManager.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>
#include <OgreSubMesh.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>

#include "collision/CollisionMgr.h"
#include "support/TestGame.h"

namespace vantor {
namespace {

using V = Ogre::Vector3;

// The source tree's root; __FILE__ is absolute because CMake compiles every
// test source by its full path.
std::filesystem::path sourceDir() {
    return std::filesystem::path(__FILE__).parent_path() / ".." / ".." / "..";
}

size_t triangleCount(const Ogre::MeshPtr& mesh) {
    size_t triangles = 0;
    for (const Ogre::SubMesh* sub : mesh->getSubMeshes()) {
        EXPECT_EQ(sub->operationType, Ogre::RenderOperation::OT_TRIANGLE_LIST);
        triangles += sub->indexData->indexCount / 3;
    }
    return triangles;
}

// The materials the meshes of this test use.
const char* const kMaterials[] = {"Vantor/Checker", "Vantor/Stripes", "Vantor/Platform",
                                  "Vantor/Ball"};

class GeneratedMeshTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        game_ = std::make_unique<test::TestGame>(
            test::TestGame::defaultSetup(), std::vector<std::pair<std::string, std::string>>{
                                                {"start.lua", "CreateSceneNode('', 'LevelRoot')"}});
        const std::filesystem::path levelData = game_->resource() / "LevelData";
        // BigTerrain is left out: it takes seconds to write and convert.
        const std::string command =
            "python3 '" + (sourceDir() / "tools" / "make_meshes.py").string() + "' '" +
            levelData.string() + "' Ground.mesh Gem.mesh Ramp.mesh Platform.mesh Ball.mesh";
        generated_ = std::system(command.c_str()) == 0;
        // Headless OGRE cannot parse textured materials (no texture manager):
        // stand-ins of the same names let the meshes keep their material
        // names, and the demo's material file is checked as text below.
        std::string stubs;
        for (const char* name : kMaterials) {
            stubs += std::string("material ") + name + "\n{\n}\n";
        }
        game_->writeFile("Resource/LevelData/Stubs.material", stubs);
        game_->start();
    }
    static void TearDownTestSuite() { game_.reset(); }

    void SetUp() override { ASSERT_TRUE(generated_) << "tools/make_meshes.py failed"; }

    static Ogre::MeshPtr load(const std::string& name) {
        return Ogre::MeshManager::getSingleton().load(name, "LevelData");
    }

    static std::unique_ptr<test::TestGame> game_;
    static bool generated_;
};

std::unique_ptr<test::TestGame> GeneratedMeshTest::game_;
bool GeneratedMeshTest::generated_ = false;

TEST_F(GeneratedMeshTest, GroundIsAHillyGridOfTwentyThousandTriangles) {
    Ogre::MeshPtr ground = load("Ground.mesh");
    ASSERT_TRUE(ground);
    EXPECT_EQ(triangleCount(ground), 20000u);
    ASSERT_EQ(ground->getNumSubMeshes(), 1u);
    EXPECT_EQ(ground->getSubMesh(0)->getMaterialName(), "Vantor/Checker");

    const Ogre::AxisAlignedBox& bounds = ground->getBounds();
    EXPECT_FLOAT_EQ(bounds.getMinimum().x, -40.0f);
    EXPECT_FLOAT_EQ(bounds.getMaximum().x, 40.0f);
    EXPECT_FLOAT_EQ(bounds.getMinimum().z, -40.0f);
    EXPECT_FLOAT_EQ(bounds.getMaximum().z, 40.0f);
    // Gentle hills: some relief, but nothing the avatar (radius 0.25) cannot
    // roll over.
    EXPECT_GT(bounds.getMaximum().y, 0.4f);
    EXPECT_LT(bounds.getMaximum().y, 1.6f);
    EXPECT_LT(bounds.getMinimum().y, -0.4f);
    EXPECT_GT(bounds.getMinimum().y, -1.6f);
}

TEST_F(GeneratedMeshTest, SmallPiecesHaveTheirSizeAndMaterial) {
    Ogre::MeshPtr gem = load("Gem.mesh");
    ASSERT_TRUE(gem);
    EXPECT_EQ(triangleCount(gem), 8u);
    EXPECT_EQ(gem->getSubMesh(0)->getMaterialName(), "Vantor/Stripes");
    EXPECT_TRUE(gem->getBounds().getMinimum().positionEquals(V(-0.3f, -0.45f, -0.3f)));
    EXPECT_TRUE(gem->getBounds().getMaximum().positionEquals(V(0.3f, 0.45f, 0.3f)));

    Ogre::MeshPtr platform = load("Platform.mesh");
    ASSERT_TRUE(platform);
    EXPECT_EQ(triangleCount(platform), 12u);
    // The walking surface is the top face at y = 0, so a platform node's
    // position is where the avatar stands.
    EXPECT_FLOAT_EQ(platform->getBounds().getMaximum().y, 0.0f);
    EXPECT_FLOAT_EQ(platform->getBounds().getMaximum().x, 2.5f);

    // The avatar's body matches its physics sphere: radius 0.25, resting on
    // the avatar node's origin.
    Ogre::MeshPtr ball = load("Ball.mesh");
    ASSERT_TRUE(ball);
    EXPECT_EQ(triangleCount(ball), 12u * (2u * 8u - 2u));
    EXPECT_EQ(ball->getSubMesh(0)->getMaterialName(), "Vantor/Ball");
    EXPECT_TRUE(ball->getBounds().getMinimum().positionEquals(V(-0.25f, 0, -0.25f), 1e-3f));
    EXPECT_TRUE(ball->getBounds().getMaximum().positionEquals(V(0.25f, 0.5f, 0.25f), 1e-3f));
}

TEST_F(GeneratedMeshTest, TheDemoMaterialFileDefinesTheMeshMaterials) {
    std::ifstream in(sourceDir() / "game" / "Resource" / "LevelData" / "Vantor.material");
    ASSERT_TRUE(in);
    std::set<std::string> defined;
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, 9, "material ") == 0) {
            defined.insert(line.substr(9));
        }
    }
    for (const char* name :
         {"Ground.mesh", "Gem.mesh", "Ramp.mesh", "Platform.mesh", "Ball.mesh"}) {
        Ogre::MeshPtr mesh = load(name);
        ASSERT_TRUE(mesh) << name;
        for (const Ogre::SubMesh* sub : mesh->getSubMeshes()) {
            EXPECT_TRUE(defined.count(sub->getMaterialName()))
                << name << " uses " << sub->getMaterialName()
                << ", which Vantor.material does not define";
        }
    }
}

TEST_F(GeneratedMeshTest, LevelScriptsCreateEntitiesFromGeneratedMeshes) {
    game_->run(
        "CreateSceneNode('LevelRoot', 'GemNode')\n"
        "CreateEntity('GemEntity', 'Gem.mesh')\n"
        "AttachObject('GemNode', 'GemEntity')");
    Ogre::SceneManager* scene = game_->app().getSceneManager();
    ASSERT_TRUE(scene->hasEntity("GemEntity"));
    EXPECT_EQ(scene->getEntity("GemEntity")->getParentSceneNode()->getName(), "GemNode");
    for (const char* function : {"CreateSceneNode", "CreateEntity", "AttachObject"}) {
        EXPECT_TRUE(game_->logLinesWith(function).empty()) << function << " logged an error";
    }
}

// Rays from above hit the walking surfaces, which also shows their triangles
// face up (ODE culls back faces).
TEST_F(GeneratedMeshTest, RaysLandOnTheGroundAndClimbTheRamp) {
    CollisionMgr& collision = *game_->app().getCollisionMgr();
    Ogre::SceneNode* root = game_->app().getSceneManager()->getRootSceneNode();
    collision.createSpace("Solid", "");
    for (const char* name : {"Ground", "Ramp"}) {
        CollisionGeom* geom = collision.createGeom(name, std::string(name) + ".mesh");
        ASSERT_NE(geom, nullptr) << name;
        geom->setNode(root->createChildSceneNode(
            name, name == std::string("Ramp") ? V(100, 0, 0) : V(0, -50, 0)));
        geom->update();
        collision.addGeomToSpace("Solid", geom);
    }

    CollisionResult flat;
    collision.rayTest("Solid", V(0, 0, 0), V(0, -1, 0), 100, flat);
    ASSERT_NE(flat.hitNode, nullptr);
    EXPECT_EQ(flat.hitNode->getName(), "Ground");
    EXPECT_NEAR(flat.point.y, -50.0f, 1e-3f);  // the middle of the level is flat

    // The ramp rises from 0 to 1.6 over 8 units along x: halfway up is 0.8.
    CollisionResult halfway;
    collision.rayTest("Solid", V(104, 20, 1), V(0, -1, 0), 100, halfway);
    ASSERT_NE(halfway.hitNode, nullptr);
    EXPECT_EQ(halfway.hitNode->getName(), "Ramp");
    EXPECT_NEAR(halfway.point.y, 0.8f, 1e-3f);
}

}  // namespace
}  // namespace vantor
