#include <OgreSceneManager.h>
#include <OgreSceneNode.h>
#include <gtest/gtest.h>
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <set>

#include "collision/CollisionMgr.h"
#include "collision/CollisionTestSupport.h"
#include "collision/TestMeshes.h"
#include "support/HeadlessOgre.h"

namespace vantor {
namespace {

using V = Ogre::Vector3;

// Boxes of half size 1 placed by scene nodes: two boxes closer than 2 apart touch.
class CollisionQueryTest : public ::testing::Test {
protected:
    void SetUp() override { test::makeBoxMesh("box", V(-1, -1, -1), V(1, 1, 1)); }

    CollisionGeom* addBox(const std::string& owner, const std::string& space, const V& position,
                          Ogre::SceneNode* parent = nullptr) {
        if (!parent) {
            parent = ogre.sceneManager()->getRootSceneNode();
        }
        CollisionGeom* geom = mgr.createGeom(owner, "box");
        geom->setNode(parent->createChildSceneNode(owner, position));
        geom->update();
        mgr.addGeomToSpace(space, geom);
        return geom;
    }

    // The names of a list-form result, e.g. "'a', 'b'" gives {a, b}.
    static std::multiset<std::string> listed(const std::string& list) {
        std::multiset<std::string> names;
        size_t pos = 0;
        while ((pos = list.find('\'', pos)) != std::string::npos) {
            const size_t end = list.find('\'', pos + 1);
            names.insert(list.substr(pos + 1, end - pos - 1));
            pos = end + 1;
        }
        return names;
    }

    CollisionResult ray(const std::string& space, const V& origin, const V& direction,
                        float length) {
        CollisionResult record;
        mgr.rayTest(space, origin, direction, length, record);
        return record;
    }

    test::HeadlessOgre ogre;
    CollisionMgr mgr;
};

TEST_F(CollisionQueryTest, ExistingNamesAreReturnedUnchanged) {
    CollisionSpace* outer = mgr.createSpace("Outer", "");
    ASSERT_NE(outer, nullptr);
    CollisionSpace* inner = mgr.createSpace("Inner", "Outer");
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(dGeomGetSpace(reinterpret_cast<dGeomID>(inner->space())), outer->space());
    EXPECT_EQ(mgr.createSpace("Inner", ""), inner);
    EXPECT_EQ(dGeomGetSpace(reinterpret_cast<dGeomID>(inner->space())), outer->space());

    test::makeBoxMesh("other", V(-5, -5, -5), V(5, 5, 5));
    CollisionGeom* geom = mgr.createGeom("door", "box");
    ASSERT_NE(geom, nullptr);
    CollisionMesh* box = mgr.getMesh("box");
    EXPECT_EQ(mgr.createGeom("door", "other"), geom);
    EXPECT_EQ(dGeomTriMeshGetTriMeshDataID(geom->geom()), box->data());
}

TEST_F(CollisionQueryTest, SpaceUnderMissingParentIsRefused) {
    test::LogCapture logs;
    EXPECT_EQ(mgr.createSpace("Child", "Nowhere"), nullptr);
    EXPECT_EQ(mgr.getSpace("Child"), nullptr);
    EXPECT_TRUE(logs.contains("Nowhere"));
}

TEST_F(CollisionQueryTest, FindObjectPrefersSpaces) {
    CollisionSpace* space = mgr.createSpace("Gate", "");
    CollisionGeom* gate = mgr.createGeom("Gate", "box");
    CollisionGeom* door = mgr.createGeom("door", "box");
    EXPECT_EQ(mgr.findObject("Gate"), reinterpret_cast<dGeomID>(space->space()));
    EXPECT_EQ(mgr.findObject("door"), door->geom());
    EXPECT_EQ(mgr.findObject("nothing"), nullptr);
    mgr.clear();
    EXPECT_EQ(mgr.getSpace("Gate"), nullptr);
    EXPECT_EQ(mgr.findObject("Gate"), nullptr);
    (void)gate;
}

TEST_F(CollisionQueryTest, GeomFollowsItsNodeInWorldSpace) {
    Ogre::SceneNode* parent = ogre.sceneManager()->getRootSceneNode()->createChildSceneNode(
        "parent", V(10, 0, 0), Ogre::Quaternion(Ogre::Degree(90), V::UNIT_Y));
    CollisionGeom* geom = addBox("door", "", V(0, 0, -2), parent);
    const dReal* p = dGeomGetPosition(geom->geom());
    // Turning (0, 0, -2) by 90 degrees about Y gives (-2, 0, 0).
    EXPECT_NEAR(p[0], 8.0, 1e-5);
    EXPECT_NEAR(p[1], 0.0, 1e-5);
    EXPECT_NEAR(p[2], 0.0, 1e-5);
    dQuaternion q;
    dGeomGetQuaternion(geom->geom(), q);
    const Ogre::Quaternion expected(Ogre::Degree(90), V::UNIT_Y);
    EXPECT_NEAR(q[0], expected.w, 1e-6);
    EXPECT_NEAR(q[2], expected.y, 1e-6);

    CollisionGeom* loose = mgr.createGeom("loose", "box");
    dGeomSetPosition(loose->geom(), 3, 4, 5);
    test::LogCapture logs;
    loose->update();
    EXPECT_TRUE(logs.contains("ERROR. Update called on geom with no scenenode associated"));
    EXPECT_EQ(dGeomGetPosition(loose->geom())[0], 3.0);
}

TEST_F(CollisionQueryTest, RayWithoutHitReportsZero) {
    mgr.createSpace("Empty", "");
    mgr.createSpace("Solid", "");
    addBox("crate", "Solid", V(0, 0, 0));
    Ogre::SceneNode* previous = ogre.sceneManager()->getRootSceneNode();

    for (const char* space : {"Empty", "Unknown"}) {
        CollisionResult record;
        record.hitNode = previous;
        mgr.rayTest(space, V(0.3f, 0.2f, -10), V(0, 0, 1), 100, record);
        EXPECT_EQ(record.point, V::ZERO) << space;
        EXPECT_EQ(record.hitNode, previous) << space;
    }
    const CollisionResult missed = ray("Solid", V(5, 0.2f, -10), V(0, 0, 1), 100);
    EXPECT_EQ(missed.point, V::ZERO);
    EXPECT_EQ(missed.hitNode, nullptr);
    const CollisionResult noDirection = ray("Solid", V(0.3f, 0.2f, -10), V::ZERO, 100);
    EXPECT_EQ(noDirection.hitNode, nullptr);
    EXPECT_EQ(ray("Solid", V(0.3f, 0.2f, -10), V(0, 0, 1), -100).hitNode, nullptr);
    EXPECT_EQ(ray("Solid", V(0.3f, 0.2f, -10), V(0, 0, 1), std::nanf("")).hitNode, nullptr);
}

TEST_F(CollisionQueryTest, RayReportsNearestContactWhateverTheOrder) {
    mgr.createSpace("Solid", "");
    // Both insertion orders, so ODE visits the near box first in one and last in the other.
    for (const bool nearFirst : {true, false}) {
        addBox(nearFirst ? "a" : "b", "Solid", V(0, 0, 0));
        addBox(nearFirst ? "b" : "a", "Solid", V(0, 0, 5));
        const std::string nearName = nearFirst ? "a" : "b";
        const std::string farName = nearFirst ? "b" : "a";

        const CollisionResult forward = ray("Solid", V(0.3f, 0.2f, -10), V(0, 0, 3), 100);
        ASSERT_NE(forward.hitNode, nullptr);
        EXPECT_EQ(forward.hitNode->getName(), nearName);
        EXPECT_TRUE(forward.point.positionEquals(V(0.3f, 0.2f, -1), 1e-4f)) << forward.point;

        const CollisionResult backward = ray("Solid", V(0.3f, 0.2f, 20), V(0, 0, -1), 100);
        ASSERT_NE(backward.hitNode, nullptr);
        EXPECT_EQ(backward.hitNode->getName(), farName);
        EXPECT_TRUE(backward.point.positionEquals(V(0.3f, 0.2f, 6), 1e-4f)) << backward.point;

        mgr.removeGeom("a");
        mgr.removeGeom("b");
        ogre.sceneManager()->destroySceneNode("a");
        ogre.sceneManager()->destroySceneNode("b");
    }
}

TEST_F(CollisionQueryTest, RayThroughMoreSurfacesThanContactsFindsTheNearest) {
    // One mesh of 40 stacked horizontal quads, more layers than a contact
    // buffer holds: whichever order ODE meets them in, the nearest one counts.
    test::SubMeshData layers;
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

    const CollisionResult down = ray("Solid", V(0.25f, 100, 0.5f), V(0, -1, 0), 200);
    ASSERT_NE(down.hitNode, nullptr);
    EXPECT_TRUE(down.point.positionEquals(V(0.25f, 39, 0.5f), 1e-4f)) << down.point;
    const CollisionResult up = ray("Solid", V(0.25f, -50, 0.5f), V(0, 1, 0), 200);
    ASSERT_NE(up.hitNode, nullptr);
    EXPECT_TRUE(up.point.positionEquals(V(0.25f, 0, 0.5f), 1e-4f)) << up.point;
    const CollisionResult middle = ray("Solid", V(0.25f, 20.5f, 0.5f), V(0, -1, 0), 200);
    EXPECT_TRUE(middle.point.positionEquals(V(0.25f, 20, 0.5f), 1e-4f)) << middle.point;
}

TEST_F(CollisionQueryTest, RayIsLimitedToItsLength) {
    mgr.createSpace("Solid", "");
    addBox("crate", "Solid", V(0, 0, 0));
    // The near face is 9 units from the origin.
    EXPECT_EQ(ray("Solid", V(0.3f, 0.2f, -10), V(0, 0, 1), 8.5f).hitNode, nullptr);
    const CollisionResult reached = ray("Solid", V(0.3f, 0.2f, -10), V(0, 0, 1), 9.5f);
    ASSERT_NE(reached.hitNode, nullptr);
    EXPECT_EQ(reached.hitNode->getName(), "crate");
}

TEST_F(CollisionQueryTest, RayAndCollisionTestsSearchNestedSpaces) {
    mgr.createSpace("Outer", "");
    mgr.createSpace("Inner", "Outer");
    mgr.createSpace("Deepest", "Inner");
    addBox("lamp", "Outer", V(0, 0, 20));
    addBox("bell", "Deepest", V(0, 0, 0));
    addBox("door", "", V(0, 1.5f, 0));

    const CollisionResult hit = ray("Outer", V(0.3f, 0.2f, -10), V(0, 0, 1), 100);
    ASSERT_NE(hit.hitNode, nullptr);
    EXPECT_EQ(hit.hitNode->getName(), "bell");

    EXPECT_EQ(mgr.collisionTest("door", "Deepest", false), "bell");
    // The pair is found through the sub-spaces, but bell is no direct member of
    // Outer, so the other geom of the pair is the one reported.
    EXPECT_EQ(mgr.collisionTest("door", "Outer", false), "door");
    EXPECT_EQ(mgr.getQueryResult().hitNames.size(), 1u);
    EXPECT_EQ(mgr.collisionTest("Outer", "door", false), "door");
}

TEST_F(CollisionQueryTest, SpaceAgainstItselfReportsOneMemberPerTouchingPair) {
    mgr.createSpace("Room", "");
    addBox("a", "Room", V(0, 0, 0));
    addBox("b", "Room", V(1.5f, 0, 0));
    addBox("c", "Room", V(10, 0, 0));

    const std::string single = mgr.collisionTest("Room", "Room", false);
    EXPECT_TRUE(single == "a" || single == "b") << single;
    const std::string list = mgr.collisionTest("Room", "Room", true);
    EXPECT_EQ(listed(list).size(), 1u) << list;
    EXPECT_EQ(list, "'" + single + "'");
    const CollisionResult& record = mgr.getQueryResult();
    EXPECT_EQ(record.selfName, "Room");
    ASSERT_NE(record.hitNode, nullptr);
    EXPECT_EQ(record.hitNode->getName(), single);
    EXPECT_GT(record.point.x, 0.4f);  // inside the overlap of a and b
    EXPECT_LT(record.point.x, 1.1f);
}

TEST_F(CollisionQueryTest, GeomAgainstSpaceReportsTheTouchedMembers) {
    mgr.createSpace("Trigger", "");
    addBox("door", "", V(0, 0, 0));
    addBox("lamp", "Trigger", V(1.5f, 0, 0));
    addBox("bell", "Trigger", V(-1.5f, 0, 0));
    addBox("horn", "Trigger", V(0, 1.5f, 0));
    addBox("far", "Trigger", V(10, 0, 0));

    const std::string list = mgr.collisionTest("door", "Trigger", true);
    EXPECT_EQ(listed(list), (std::multiset<std::string>{"bell", "horn", "lamp"})) << list;
    EXPECT_EQ(std::count(list.begin(), list.end(), ','), 2) << list;
    EXPECT_EQ(list.find("', '") != std::string::npos, true) << list;
    // The single form is the last name of the list.
    const std::string single = mgr.collisionTest("door", "Trigger", false);
    EXPECT_EQ(list.substr(list.size() - single.size() - 2), "'" + single + "'");

    EXPECT_EQ(mgr.collisionTest("far", "Trigger", false), "");
    EXPECT_EQ(mgr.collisionTest("door", "door", true), "");
    EXPECT_EQ(mgr.collisionTest("door", "Nowhere", false), "");
    EXPECT_EQ(mgr.collisionTest("Nowhere", "Trigger", true), "");
    EXPECT_EQ(mgr.getQueryResult().hitNode, nullptr);

    // A removed geom no longer touches anything.
    mgr.removeGeom("lamp");
    mgr.removeGeom("lamp");
    EXPECT_EQ(listed(mgr.collisionTest("door", "Trigger", true)),
              (std::multiset<std::string>{"bell", "horn"}));
}

TEST_F(CollisionQueryTest, GeomMovesBetweenSpacesAndNodelessGeomsAreSkipped) {
    mgr.createSpace("First", "");
    mgr.createSpace("Second", "");
    addBox("door", "", V(0, 0, 0));
    CollisionGeom* lamp = addBox("lamp", "First", V(1.5f, 0, 0));
    mgr.addGeomToSpace("Second", lamp);
    mgr.addGeomToSpace("Second", lamp);
    mgr.addGeomToSpace("Nowhere", lamp);
    EXPECT_EQ(mgr.collisionTest("door", "First", false), "");
    EXPECT_EQ(mgr.collisionTest("door", "Second", false), "lamp");

    // Without a node the geom stays at the origin, inside the door, and has no name.
    CollisionGeom* ghost = mgr.createGeom("ghost", "box");
    mgr.addGeomToSpace("First", ghost);
    EXPECT_EQ(mgr.collisionTest("door", "First", true), "");
    EXPECT_EQ(ray("First", V(0.3f, 0.2f, -10), V(0, 0, 1), 100).hitNode, nullptr);
}

// What a callback run inside a walk of "Solid" asks of the manager (a bump
// handler removing an actor, adding geometry, making a space, moving a node):
// ODE would abort on each. They wait for the walk's end; a clear is refused.
TEST_F(CollisionQueryTest, ChangesAskedForDuringAWalkWaitForItsEnd) {
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
    test::LogCapture logs;
    mgr.collide(probe->geom(), reinterpret_cast<dGeomID>(mgr.getSpace("Solid")->space()), &walk,
                [](void* data, dGeomID o1, dGeomID o2) {
                    auto& w = *static_cast<Walk*>(data);
                    CollisionMgr& m = w.mgr;
                    Ogre::SceneManager* scene = w.scene;
                    w.nodeless += dGeomGetData(o1) && dGeomGetData(o2) ? 0 : 1;
                    if (w.calls++ > 0) {
                        return;
                    }
                    m.removeGeom("b");
                    scene->destroySceneNode("b");
                    CollisionGeom* d = m.createGeom("d", "box");
                    d->setNode(scene->getRootSceneNode()->createChildSceneNode("d", V(20, 0, 0)));
                    d->update();
                    m.addGeomToSpace("Solid", d);
                    m.createSpace("Inner", "Solid");
                    scene->getSceneNode("c")->setPosition(0, 10, 0);
                    m.getGeom("c")->update();
                    m.clear();
                });
    EXPECT_FALSE(mgr.isWalking());
    EXPECT_GE(walk.calls, 2);
    EXPECT_EQ(walk.nodeless, 0);  // the removed geom took part no more
    EXPECT_EQ(mgr.getGeom("b"), nullptr);
    EXPECT_EQ(ray("Solid", V(2.3f, 20, 0), V(0, -1, 0), 40).hitNode, nullptr);
    EXPECT_EQ(ray("Solid", V(-2.3f, 20, 0), V(0, -1, 0), 40).hitNode, nullptr);
    EXPECT_EQ(ray("Solid", V(0, 20, 0), V(0, -1, 0), 40).point, V(0, 11, 0));
    EXPECT_EQ(ray("Solid", V(20, 20, 0), V(0, -1, 0), 40).hitNode->getName(), "d");
    EXPECT_EQ(dGeomGetSpace(reinterpret_cast<dGeomID>(mgr.getSpace("Inner")->space())),
              mgr.getSpace("Solid")->space());
    EXPECT_TRUE(logs.contains("cannot be cleared while a collision test runs"));
    EXPECT_NE(mgr.getGeom("a"), nullptr);
}

}  // namespace
}  // namespace vantor
