#include <OgreMeshManager.h>
#include <OgreMeshSerializer.h>
#include <OgreResourceGroupManager.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "collision/CollisionMgr.h"
#include "collision/CollisionTestSupport.h"
#include "collision/TestMeshes.h"
#include "support/HeadlessOgre.h"

namespace vantor {
namespace {

using test::makeMesh;
using test::SubMeshData;
using V = Ogre::Vector3;

std::vector<V> positionsOf(const CollisionMesh& mesh) {
    std::vector<V> out;
    const std::vector<float>& v = mesh.vertices();
    for (size_t i = 0; i + 3 < v.size() + 1; i += 4) {
        out.emplace_back(v[i], v[i + 1], v[i + 2]);
    }
    return out;
}

class CollisionMeshTest : public ::testing::Test {
protected:
    test::HeadlessOgre ogre;
    CollisionMgr mgr;
};

TEST_F(CollisionMeshTest, SubmeshesSharingVertexDataCountThemOnce) {
    const std::vector<V> shared = {V(0, 0, 0), V(1, 0, 0), V(1, 1, 0), V(0, 1, 0)};
    SubMeshData a{true, {}, {0, 1, 2}, false};
    SubMeshData b{true, {}, {0, 2, 3}, false};
    makeMesh("quad", shared, {a, b});

    CollisionMesh* mesh = mgr.getMesh("quad");
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->vertexCount(), 4);
    EXPECT_EQ(positionsOf(*mesh), shared);
    EXPECT_EQ(mesh->indices(), (std::vector<uint32_t>{0, 1, 2, 0, 2, 3}));
    EXPECT_EQ(mesh->indexCount(), 6);
}

TEST_F(CollisionMeshTest, MixedSharedAndOwnDataGetSeparateOffsets) {
    const std::vector<V> shared = {V(10, 0, 0), V(11, 0, 0), V(11, 1, 0), V(10, 1, 0)};
    const std::vector<V> first = {V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)};
    const std::vector<V> third = {V(20, 0, 0), V(21, 0, 0), V(20, 1, 0)};
    makeMesh(
        "mixed", shared,
        {SubMeshData{false, first, {0, 1, 2}, false},
         SubMeshData{true, {}, {0, 1, 2, 0, 2, 3}, false},
         SubMeshData{false, third, {2, 1, 0}, false}, SubMeshData{true, {}, {3, 2, 1}, false}});

    CollisionMesh* mesh = mgr.getMesh("mixed");
    ASSERT_NE(mesh, nullptr);
    std::vector<V> expected = first;
    expected.insert(expected.end(), shared.begin(), shared.end());
    expected.insert(expected.end(), third.begin(), third.end());
    EXPECT_EQ(positionsOf(*mesh), expected);
    // Own data first at 0, the shared block at 3, the second own block past it at 7.
    EXPECT_EQ(mesh->indices(),
              (std::vector<uint32_t>{0, 1, 2, 3, 4, 5, 3, 5, 6, 9, 8, 7, 6, 5, 4}));
}

TEST_F(CollisionMeshTest, SixteenAndThirtyTwoBitIndicesJoinInOneArray) {
    const std::vector<V> tri = {V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)};
    makeMesh("widths", {},
             {SubMeshData{false, tri, {0, 1, 2}, false}, SubMeshData{false, tri, {2, 0, 1}, true},
              SubMeshData{false, tri, {1, 2, 0}, false}});

    CollisionMesh* mesh = mgr.getMesh("widths");
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->indices(), (std::vector<uint32_t>{0, 1, 2, 5, 3, 4, 7, 8, 6}));
}

TEST_F(CollisionMeshTest, OnlyWholeTrianglesWithValidIndicesAreKept) {
    const std::vector<V> tri = {V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)};
    makeMesh("ragged", {},
             {SubMeshData{false, tri, {0, 1, 2, 1, 2}, false},
              SubMeshData{false, tri, {0, 1, 3, 2, 1, 0}, true}});
    test::LogCapture logs;

    CollisionMesh* mesh = mgr.getMesh("ragged");
    ASSERT_NE(mesh, nullptr);
    // The trailing pair of the first submesh is no triangle; index 3 names no vertex.
    EXPECT_EQ(mesh->indices(), (std::vector<uint32_t>{0, 1, 2, 5, 4, 3}));
    EXPECT_TRUE(logs.contains("ragged"));
}

TEST_F(CollisionMeshTest, UnknownMeshLogsAndRegistersNothing) {
    test::LogCapture logs;
    EXPECT_EQ(mgr.getMesh("missing.mesh"), nullptr);
    EXPECT_EQ(mgr.createGeom("door", "missing.mesh"), nullptr);
    EXPECT_EQ(mgr.getGeom("door"), nullptr);
    EXPECT_EQ(mgr.findObject("door"), nullptr);
    EXPECT_TRUE(logs.contains("missing.mesh"));
}

TEST_F(CollisionMeshTest, MeshFileIsLoadedFromLevelData) {
    namespace fs = std::filesystem;
    const fs::path dir =
        fs::temp_directory_path() / ("vantor_collision_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    {
        Ogre::MeshPtr box = test::makeBoxMesh("source", V(-1, -1, -1), V(1, 1, 1));
        Ogre::MeshSerializer().exportMesh(box.get(), (dir / "crate.mesh").string());
        Ogre::MeshManager::getSingleton().remove(box);
    }
    auto& groups = Ogre::ResourceGroupManager::getSingleton();
    groups.addResourceLocation(dir.string(), "FileSystem", "LevelData");
    groups.initialiseResourceGroup("LevelData");

    CollisionMesh* mesh = mgr.getMesh("crate.mesh");
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->vertexCount(), 8);
    EXPECT_EQ(mesh->indexCount(), 36);
    ASSERT_NE(mgr.createGeom("crate", "crate.mesh"), nullptr);

    mgr.clear();
    groups.destroyResourceGroup("LevelData");
    fs::remove_all(dir);
}

TEST_F(CollisionMeshTest, MeshIsCachedUntilClear) {
    Ogre::MeshPtr box = test::makeBoxMesh("box", V(0, 0, 0), V(1, 1, 1));
    CollisionMesh* first = mgr.getMesh("box");
    ASSERT_NE(first, nullptr);
    CollisionGeom* a = mgr.createGeom("a", "box");
    CollisionGeom* b = mgr.createGeom("b", "box");
    ASSERT_TRUE(a && b);
    EXPECT_EQ(dGeomTriMeshGetTriMeshDataID(a->geom()), first->data());
    EXPECT_EQ(dGeomTriMeshGetTriMeshDataID(b->geom()), first->data());

    // A changed rendering mesh is not read again while the cache holds it...
    std::vector<V> moved;
    for (int i = 0; i < 8; ++i) {
        moved.emplace_back((i & 1) ? 5 : 4, (i & 2) ? 5 : 4, (i & 4) ? 5 : 4);
    }
    test::rewriteSharedPositions(*box, moved);
    EXPECT_EQ(mgr.getMesh("box"), first);
    EXPECT_EQ(positionsOf(*first)[0], V(0, 0, 0));

    // ...and is built anew after a clear.
    mgr.clear();
    EXPECT_EQ(mgr.getGeom("a"), nullptr);
    CollisionMesh* rebuilt = mgr.getMesh("box");
    ASSERT_NE(rebuilt, nullptr);
    EXPECT_EQ(positionsOf(*rebuilt)[0], V(4, 4, 4));
}

}  // namespace
}  // namespace vantor
