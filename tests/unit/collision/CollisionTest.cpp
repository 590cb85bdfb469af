// The collision manager against real ODE: triangle data from rendering
// meshes, spaces and geoms, ray and collision tests, and changes asked for
// while a space is walked.

#include <OgreMeshManager.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "collision/CollisionMgr.h"
#include "support/HeadlessOgre.h"
#include "support/LogCapture.h"
#include "support/TestMeshes.h"

namespace vantor {
namespace {

using test::SubMeshData;
using V = Ogre::Vector3;

std::vector<V> positionsOf(const CollisionMesh& mesh) {
    std::vector<V> out;
    for (size_t i = 0; i + 3 <= mesh.vertices().size(); i += 4) {
        out.emplace_back(mesh.vertices()[i], mesh.vertices()[i + 1], mesh.vertices()[i + 2]);
    }
    return out;
}

// Boxes of half size 1 placed by scene nodes: two closer than 2 apart touch.
class CollisionTest : public ::testing::Test {
protected:
    CollisionTest() { test::makeBoxMesh("box", V(-1, -1, -1), V(1, 1, 1)); }

    CollisionGeom* addBox(const std::string& owner, const std::string& space, const V& position,
                          Ogre::SceneNode* parent = nullptr) {
        parent = parent ? parent : ogre.sceneManager()->getRootSceneNode();
        CollisionGeom* geom = mgr.createGeom(owner, "box");
        geom->setNode(parent->createChildSceneNode(owner, position));
        geom->update();
        mgr.addGeomToSpace(space, geom);
        return geom;
    }

    CollisionResult ray(const std::string& space, const V& origin, const V& direction,
                        float length) {
        CollisionResult record;
        mgr.rayTest(space, origin, direction, length, record);
        return record;
    }
    std::string hitName(const CollisionResult& record) {
        return record.hitNode ? record.hitNode->getName() : "";
    }

    test::HeadlessOgre ogre;
    test::LogCapture logs;
    CollisionMgr mgr;
};

TEST_F(CollisionTest, TriangleDataJoinsSharedAndOwnVerticesAndKeepsOnlyWholeValidTriangles) {
    const std::vector<V> shared = {V(10, 0, 0), V(11, 0, 0), V(11, 1, 0), V(10, 1, 0)};
    const std::vector<V> own = {V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)};
    test::makeMesh("mixed", shared,
                   {SubMeshData{false, own, {0, 1, 2, 1, 2}, false},  // a trailing pair
                    SubMeshData{true, {}, {0, 1, 2, 0, 2, 3}, false},
                    SubMeshData{false, own, {2, 1, 0, 0, 1, 3}, true},  // 32-bit; 3 is no vertex
                    SubMeshData{true, {}, {3, 2, 1}, false}});
    CollisionMesh* mesh = mgr.getMesh("mixed");
    ASSERT_NE(mesh, nullptr);
    std::vector<V> expected = own;
    expected.insert(expected.end(), shared.begin(), shared.end());
    expected.insert(expected.end(), own.begin(), own.end());
    EXPECT_EQ(positionsOf(*mesh), expected);  // the shared block once
    // Own data at 0, the shared block at 3, the second own block at 7.
    EXPECT_EQ(mesh->indices(),
              (std::vector<uint32_t>{0, 1, 2, 3, 4, 5, 3, 5, 6, 9, 8, 7, 6, 5, 4}));
    EXPECT_EQ(logs.count("mixed"), 1);  // one line for the dropped triangles

    EXPECT_EQ(mgr.getMesh("missing.mesh"), nullptr);
    EXPECT_EQ(mgr.createGeom("door", "missing.mesh"), nullptr);
    EXPECT_EQ(mgr.findObject("door"), nullptr);
    EXPECT_EQ(logs.count("missing.mesh"), 2);
}

TEST_F(CollisionTest, MeshesAreKeptAcrossLevelsUntilTheirRenderingMeshChanges) {
    CollisionMesh* first = mgr.getMesh("box");
    CollisionGeom* a = mgr.createGeom("a", "box");
    EXPECT_EQ(mgr.createGeom("a", "other.mesh"), a);  // get-or-create
    EXPECT_EQ(dGeomTriMeshGetTriMeshDataID(a->geom()), first->data());
    Ogre::MeshManager::getSingleton().remove("box");
    test::makeBoxMesh("box", V(4, 4, 4), V(5, 5, 5));
    EXPECT_EQ(mgr.getMesh("box"), first);  // not read again within the level
    mgr.clear();
    EXPECT_EQ(mgr.getGeom("a"), nullptr);
    CollisionMesh* replaced = mgr.getMesh("box");  // a new resource of that name: read again
    EXPECT_EQ(positionsOf(*replaced)[0], V(4, 4, 4));
    mgr.clear();
    EXPECT_EQ(mgr.getMesh("box"), replaced);  // unchanged: kept for the next level
    // Unloaded since: read again, and this manual mesh has nothing left to read.
    Ogre::MeshManager::getSingleton().getByName("box")->unload();
    mgr.clear();
    EXPECT_EQ(mgr.getMesh("box"), nullptr);
}

TEST_F(CollisionTest, SpacesAreGetOrCreateUnderExistingParentsAndWinNameLookups) {
    CollisionSpace* outer = mgr.createSpace("Outer", "");
    CollisionSpace* inner = mgr.createSpace("Inner", "Outer");
    EXPECT_EQ(mgr.createSpace("Inner", ""), inner);
    EXPECT_EQ(dGeomGetSpace(reinterpret_cast<dGeomID>(inner->space())), outer->space());
    EXPECT_EQ(mgr.createSpace("Child", "Nowhere"), nullptr);
    EXPECT_EQ(logs.count("Nowhere"), 1);
    CollisionGeom* outerGeom = mgr.createGeom("Outer", "box");
    EXPECT_EQ(mgr.findObject("Outer"), reinterpret_cast<dGeomID>(outer->space()));
    EXPECT_NE(mgr.findObject("Outer"), outerGeom->geom());
    outerGeom->update();  // no node to follow: one line, left where it is
    EXPECT_EQ(logs.count("ERROR. Update called on geom with no scenenode associated"), 1);
}

TEST_F(CollisionTest, RaysReportTheNearestHitWhateverTheOrderAndOnlyWithinTheirLength) {
    mgr.createSpace("Solid", "");
    addBox("b", "Solid", V(0, 0, 5));  // inserted first: ODE may meet it first
    addBox("a", "Solid", V(0, 0, 0));
    const CollisionResult forward = ray("Solid", V(0.3f, 0.2f, -10), V(0, 0, 3), 100);
    EXPECT_EQ(hitName(forward), "a");
    EXPECT_TRUE(forward.point.positionEquals(V(0.3f, 0.2f, -1), 1e-4f)) << forward.point;
    const CollisionResult backward = ray("Solid", V(0.3f, 0.2f, 20), V(0, 0, -1), 100);
    EXPECT_EQ(hitName(backward), "b");
    EXPECT_EQ(hitName(ray("Solid", V(0.3f, 0.2f, -10), V(0, 0, 1), 8.5f)), "");
    EXPECT_EQ(hitName(ray("Solid", V(0.3f, 0.2f, -10), V(0, 0, 1), 9.5f)), "a");
    // Misses keep the record's node and report no point.
    CollisionResult record;
    record.hitNode = ogre.sceneManager()->getRootSceneNode();
    mgr.rayTest("Unknown", V(0.3f, 0.2f, -10), V(0, 0, 1), 100, record);
    EXPECT_EQ(record.point, V::ZERO);
    EXPECT_EQ(record.hitNode, ogre.sceneManager()->getRootSceneNode());
    EXPECT_EQ(hitName(ray("Solid", V(5, 0.2f, -10), V(0, 0, 1), 100)), "");
    EXPECT_EQ(hitName(ray("Solid", V(0.3f, 0.2f, -10), V::ZERO, 100)), "");
    // The next level's space of the same name, aimed at from the same direction.
    mgr.clear();
    EXPECT_EQ(hitName(ray("Solid", V(0.3f, 0.2f, 20), V(0, 0, -1), 100)), "");
    mgr.createSpace("Solid", "");
    addBox("c", "Solid", V(0, 0, 10));
    EXPECT_EQ(hitName(ray("Solid", V(0.3f, 0.2f, 20), V(0, 0, -1), 100)), "c");
    EXPECT_EQ(hitName(ray("Solid", V(0.3f, 0.2f, -10), V(0, 0, 1), 100)), "c");
}

TEST_F(CollisionTest, ARayThroughMoreSurfacesThanItsContactBufferFindsTheNearest) {
    // 40 stacked quads in one mesh, more than the buffer of 20 contacts.
    SubMeshData layers;
    for (int i = 0; i < 40; ++i) {
        const float y = float(i);
        const uint32_t base = uint32_t(layers.vertices.size());
        layers.vertices.insert(layers.vertices.end(),
                               {V(-1, y, -1), V(1, y, -1), V(1, y, 1), V(-1, y, 1)});
        layers.indices.insert(layers.indices.end(),
                              {base, base + 2, base + 1, base, base + 3, base + 2});
    }
    test::makeMesh("layers", {}, {layers});
    mgr.createSpace("Solid", "");
    CollisionGeom* geom = mgr.createGeom("stack", "layers");
    geom->setNode(ogre.sceneManager()->getRootSceneNode()->createChildSceneNode("stack"));
    geom->update();
    mgr.addGeomToSpace("Solid", geom);
    for (const auto& [from, dy, y] :
         {std::tuple{100.0f, -1.0f, 39.0f}, {-50.0f, 1.0f, 0.0f}, {20.5f, -1.0f, 20.0f}}) {
        const CollisionResult hit = ray("Solid", V(0.25f, from, 0.5f), V(0, dy, 0), 200);
        EXPECT_TRUE(hit.point.positionEquals(V(0.25f, y, 0.5f), 1e-4f)) << from << hit.point;
    }
}

TEST_F(CollisionTest, CollisionTestsReportTheMembersOfTheSecondSide) {
    mgr.createSpace("Trigger", "");
    mgr.createSpace("Inner", "Trigger");
    addBox("door", "", V(0, 0, 0));
    addBox("lamp", "Trigger", V(1.5f, 0, 0));
    addBox("bell", "Trigger", V(-1.5f, 0, 0));
    addBox("far", "Trigger", V(10, 0, 0));
    const std::string list = mgr.collisionTest("door", "Trigger", true);
    EXPECT_TRUE(list == "'lamp', 'bell'" || list == "'bell', 'lamp'") << list;
    const std::string single = mgr.collisionTest("door", "Trigger", false);
    EXPECT_EQ(list.substr(list.size() - single.size() - 2), "'" + single + "'");  // the last
    EXPECT_EQ(mgr.collisionTest("far", "Trigger", false), "");
    EXPECT_EQ(mgr.collisionTest("door", "Nowhere", false), "");

    // A space against itself names one member per touching pair; a pair
    // found through a sub-space names the other geom.
    mgr.createSpace("Room", "");
    addBox("x", "Room", V(20, 0, 0));
    addBox("y", "Room", V(21.5f, 0, 0));
    const std::string room = mgr.collisionTest("Room", "Room", true);
    EXPECT_TRUE(room == "'x'" || room == "'y'") << room;
    addBox("deep", "Inner", V(0, 30, 0));
    addBox("probe", "", V(0, 31.5f, 0));
    EXPECT_EQ(mgr.collisionTest("probe", "Trigger", false), "probe");
    EXPECT_EQ(hitName(ray("Trigger", V(0, 40, 0), V(0, -1, 0), 100)), "deep");

    // Moved to another space, removed, or without a node: not reported.
    mgr.addGeomToSpace("Room", mgr.getGeom("lamp"));
    mgr.removeGeom("bell");
    mgr.addGeomToSpace("Trigger", mgr.createGeom("ghost", "box"));
    EXPECT_EQ(mgr.collisionTest("door", "Trigger", true), "");
}

// What a script run inside a walk of "Solid" asks of the manager (a bump
// handler removing an actor, adding geometry, making a space, moving a
// node): ODE would end the process on each. They wait for the walk's end;
// a clear is refused.
TEST_F(CollisionTest, ChangesAskedForDuringAWalkWaitForItsEnd) {
    mgr.createSpace("Solid", "");
    addBox("a", "Solid", V(0, 0, 0));
    addBox("b", "Solid", V(1.5f, 0, 0));
    addBox("c", "Solid", V(-1.5f, 0, 0));
    CollisionGeom* probe = addBox("probe", "", V(0, 0, 0));  // touches all three
    struct Walk {
        CollisionMgr& mgr;
        Ogre::SceneManager* scene;
        int calls = 0;
        int nodeless = 0;
    } walk{mgr, ogre.sceneManager()};
    mgr.collide(probe->geom(), reinterpret_cast<dGeomID>(mgr.getSpace("Solid")->space()), &walk,
                [](void* data, dGeomID o1, dGeomID o2) {
                    auto& w = *static_cast<Walk*>(data);
                    w.nodeless += dGeomGetData(o1) && dGeomGetData(o2) ? 0 : 1;
                    if (w.calls++ > 0) {
                        return;
                    }
                    w.mgr.removeGeom("b");
                    w.scene->destroySceneNode("b");
                    CollisionGeom* d = w.mgr.createGeom("d", "box");
                    d->setNode(w.scene->getRootSceneNode()->createChildSceneNode("d", V(20, 0, 0)));
                    d->update();
                    w.mgr.addGeomToSpace("Solid", d);
                    w.mgr.createSpace("Inner", "Solid");
                    w.scene->getSceneNode("c")->setPosition(0, 10, 0);
                    w.mgr.getGeom("c")->update();
                    w.mgr.clear();
                });
    EXPECT_FALSE(mgr.isWalking());
    EXPECT_GE(walk.calls, 2);
    EXPECT_EQ(walk.nodeless, 0);  // the removed geom took part no more
    EXPECT_EQ(mgr.getGeom("b"), nullptr);
    EXPECT_EQ(hitName(ray("Solid", V(-2.3f, 20, 0), V(0, -1, 0), 40)), "");
    EXPECT_EQ(ray("Solid", V(0, 20, 0), V(0, -1, 0), 40).point, V(0, 11, 0));
    EXPECT_EQ(hitName(ray("Solid", V(20, 20, 0), V(0, -1, 0), 40)), "d");
    EXPECT_NE(mgr.getSpace("Inner"), nullptr);
    EXPECT_EQ(logs.count("cannot be cleared while a collision test runs"), 1);
    EXPECT_NE(mgr.getGeom("a"), nullptr);
}

// Trees grown on several threads at once answer rays and collision tests as
// trees built one after another do; a level cleared or a manager destroyed
// with builds in flight frees nothing a worker still uses.
TEST_F(CollisionTest, MeshesBuiltOnSeveralThreadsAnswerAsMeshesBuiltInTurn) {
    constexpr int kMeshes = 6;
    constexpr int kCells = 40;
    for (int m = 0; m < kMeshes; ++m) {
        SubMeshData hills{false, {}, {}, true};
        for (int z = 0; z <= kCells; ++z) {
            for (int x = 0; x <= kCells; ++x) {
                const float y = 3.0f * std::sin(x * 0.3f + m) * std::cos(z * 0.2f + m);
                hills.vertices.emplace_back(float(x), y, float(z));
            }
        }
        for (uint32_t z = 0; z < kCells; ++z) {
            for (uint32_t x = 0; x < kCells; ++x) {
                const uint32_t v = z * (kCells + 1) + x, up = v + kCells + 1;
                hills.indices.insert(hills.indices.end(), {v, up, v + 1, v + 1, up, up + 1});
            }
        }
        test::makeMesh("hills" + std::to_string(m), {}, {hills});
    }
    auto answers = [this](unsigned threads) {
        CollisionMgr level(threads);
        level.createSpace("Level", "");
        Ogre::SceneNode* root = ogre.sceneManager()->getRootSceneNode();
        for (int m = 0; m < kMeshes; ++m) {  // overlapping neighbours
            const std::string name = "h" + std::to_string(m);
            CollisionGeom* geom = level.createGeom(name, "hills" + std::to_string(m));
            geom->setNode(root->createChildSceneNode(name, V(m * 7.0f, 0, 0)));
            geom->update();
            level.addGeomToSpace("Level", geom);
        }
        std::vector<std::string> found;
        for (int probe = 0; probe < 3; ++probe) {
            const std::string name = "probe" + std::to_string(probe);
            CollisionGeom* box = level.createGeom(name, "box");
            box->setNode(root->createChildSceneNode(name, V(10.0f + 17 * probe, 0, 9.0f * probe)));
            box->update();
            found.push_back(level.collisionTest(name, "Level", true));
        }
        for (float x = 0.3f; x < kCells + 7 * kMeshes; x += 2.5f) {
            for (float z = 0.4f; z < kCells; z += 2.5f) {
                CollisionResult hit;
                level.rayTest("Level", V(x, 50, z), V(0, -1, 0), 100, hit);
                found.push_back(hitName(hit) + " " + Ogre::StringConverter::toString(hit.point));
            }
        }
        root->removeAndDestroyAllChildren();
        return found;
    };
    const std::vector<std::string> inTurn = answers(1);
    EXPECT_EQ(answers(kMeshes), inTurn);
    EXPECT_NE(inTurn[0], "");
    EXPECT_EQ(inTurn[3].rfind("h0 ", 0), 0u) << inTurn[3];  // the first ray

    CollisionMgr cleared(kMeshes);
    for (int m = 0; m < kMeshes; ++m) {
        cleared.createGeom("h" + std::to_string(m), "hills" + std::to_string(m));
    }
    cleared.clear();
    EXPECT_NE(cleared.getMesh("hills0"), nullptr);  // built, and kept for the next level
    CollisionMgr destroyed(kMeshes);
    for (int m = 0; m < kMeshes; ++m) {
        destroyed.getMesh("hills" + std::to_string(m));
    }
}

}  // namespace
}  // namespace vantor
