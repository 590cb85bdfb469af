#pragma once

#include <OgreVector.h>
#include <ode/collision.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "collision/CollisionGeom.h"
#include "collision/CollisionMesh.h"
#include "collision/CollisionRay.h"
#include "collision/CollisionResult.h"
#include "collision/CollisionSpace.h"
#include "collision/MeshBuildPool.h"

namespace vantor {

// Owns all collision data of the running level: triangle data per mesh name,
// the named collision spaces and one geom per owner (an actor's name), plus
// the ray and the record used by queries. Main thread only; the trees of new
// triangle data grow on a MeshBuildPool meanwhile.
class CollisionMgr {
public:
    // buildThreads: how many meshes' triangle data may build at once; 1 builds
    // each mesh inside getMesh, before it returns.
    explicit CollisionMgr(unsigned buildThreads = MeshBuildPool::defaultThreads());
    ~CollisionMgr();
    CollisionMgr(const CollisionMgr&) = delete;
    CollisionMgr& operator=(const CollisionMgr&) = delete;

    // Get-or-create: an existing name is returned as it is and parent is ignored.
    // parent "" makes a top-level space; a parent that is not a space refuses
    // the request with a log line and returns null.
    CollisionSpace* createSpace(const std::string& name, const std::string& parent);
    CollisionSpace* getSpace(std::string_view name);
    // Every space by name, for drawing them (read only). Their geoms' triangle
    // data is built by then.
    const std::map<std::string, std::unique_ptr<CollisionSpace>, std::less<>>& getSpaces() {
        waitForBuilds();
        return spaces_;
    }

    // The triangle data of a mesh, built on first use from the rendering mesh
    // (loaded from the group "LevelData" if nobody has loaded it yet). Null,
    // after one log line, when the mesh cannot be had. Within a level the data
    // is returned as first built. It is kept across clear() for the next
    // levels while the rendering mesh stays the same loaded resource (same
    // handle, not unloaded or reloaded since), up to kKeptTriangles triangles
    // of meshes the current level does not use; clear() releases the rest.
    // New data may still be building when it returns: geoms can be made from
    // it, and every walk, clear() and getSpaces() wait for it first. A build
    // that fails is logged then, and the mesh's geoms take part in no test.
    CollisionMesh* getMesh(const std::string& meshName);
    // Returns once the triangle data of every mesh asked for so far is built.
    void waitForBuilds();
    // Triangles of kept meshes that clear() holds on to, most recently used first.
    static constexpr size_t kKeptTriangles = 1000000;

    // Get-or-create: an existing owner's geom is returned as it is and meshName
    // is ignored. A new geom has no node and lies in no space. Null when the
    // mesh cannot be had; nothing is registered then.
    CollisionGeom* createGeom(const std::string& owner, const std::string& meshName);
    CollisionGeom* getGeom(const std::string& owner);
    // Destroys the owner's geom; an unknown owner does nothing.
    void removeGeom(const std::string& owner);
    // Puts the geom into the named space (out of any space it was in before).
    // An unknown space name or a null geom does nothing.
    void addGeomToSpace(const std::string& spaceName, CollisionGeom* geom);
    // The ODE space of that name, else the ODE geom of the owner of that name,
    // else null.
    dGeomID findObject(const std::string& name);

    // Destroys every geom, then every space, then the meshes that getMesh
    // would not reuse. The ray and the query record survive. Refused with a
    // log line during a walk.
    void clear();

    // dSpaceCollide2 (o1, o2, data, callback) as a walk of the manager's spaces.
    // Every walk of a space that holds the manager's geoms goes through here
    // (the tests below and the avatar's collision), so that changes asked for
    // from inside it (a script run by the callback removing an actor, adding
    // geometry, making a space) wait for its end: ODE aborts the process on
    // adding, removing, moving or destroying a geom of a space it is walking.
    void collide(dGeomID o1, dGeomID o2, void* data, dNearCallback* callback);
    bool isWalking() const { return walkDepth_ > 0; }
    // Runs change now, or when the current walk ends (in the order asked).
    void afterWalk(std::function<void()> change);

    // Fills record.point and record.hitNode with the contact nearest to origin
    // among the members of the space and its sub-spaces. point stays (0, 0, 0)
    // when nothing is hit or the space is unknown; hitNode is then unchanged.
    void rayTest(std::string_view spaceName, const Ogre::Vector3& origin,
                 const Ogre::Vector3& direction, float length, CollisionResult& record);

    // Tests name1 (a space or an owner) against name2 (normally a space) and
    // reports, for every touching pair, the node on name2's side. Returns the
    // list form (every name quoted, joined by ", ") when wantList, else the last
    // name; "" when nothing touches or either name is unknown. The details stay
    // in getQueryResult() until the next test.
    // A test repeated while neither side changed (see noteChange) gives the
    // same answer, which is then reused instead of asking ODE.
    std::string collisionTest(const std::string& name1, const std::string& name2, bool wantList);
    const CollisionResult& getQueryResult() const { return queryResult_; }

    // For a geom placed elsewhere, bound to another node or retired: marks it
    // and every space it lies in, and returns the change count it now has.
    unsigned long long noteChange(dGeomID geom);
    // For a change to what the names stand for: a geom or space made, moved
    // between spaces or removed. Every test is made afresh after it.
    void noteChange() { renamedAt_ = ++changes_; }
    // On by default; off asks ODE every time (to compare the two).
    void setReuseUnchangedTests(bool reuse) { reuseTests_ = reuse; }

private:
    // Triangle data and the rendering mesh it was read from.
    struct KeptMesh {
        std::unique_ptr<CollisionMesh> mesh;
        unsigned long long handle = 0;  // Ogre::ResourceHandle of the rendering mesh
        size_t stateCount = 0;          // its load/unload count when read
        unsigned long long level = 0;   // the level that last used it
        bool failed = false;            // its build threw: no geometry
    };

    void endWalk();
    bool isCurrent(const std::string& meshName, const KeptMesh& kept) const;
    void releaseMeshes();
    // Takes the geoms of a mesh whose build failed out of every test.
    void disableGeomsOf(const CollisionMesh& mesh);

    std::map<std::string, KeptMesh, std::less<>> meshes_;
    std::unique_ptr<MeshBuildPool> builds_;
    // Submitted to builds_ and not waited for yet, by name (all in meshes_).
    std::vector<std::string> building_;
    // Counts clear() calls: a mesh with an older level was not used since.
    unsigned long long level_ = 1;
    std::map<std::string, std::unique_ptr<CollisionSpace>, std::less<>> spaces_;
    // The last space getSpace found: scripts aim most rays at one space, and
    // a callback's test asks for its geom's name (not a space) before it.
    std::string lastSpaceName_;
    CollisionSpace* lastSpace_ = nullptr;
    std::unordered_map<std::string, std::unique_ptr<CollisionGeom>> geoms_;
    CollisionResult queryResult_;
    std::unique_ptr<CollisionRay> ray_;

    // What an earlier collision test found, by the two ODE objects its names
    // stood for (making or removing any geom or space renews every test, so
    // an object's address is not reused within one answer's life), and the
    // change count it was made at.
    struct KnownTest {
        unsigned long long changes = 0;
        Ogre::Vector3 point = Ogre::Vector3::ZERO;
        Ogre::Node* hitNode = nullptr;
        std::string hitName;
        std::string hitList;
        std::vector<std::string> hitNames;
    };
    unsigned long long changes_ = 1;    // a test never made has count 0
    unsigned long long renamedAt_ = 1;  // the last noteChange()
    // The manager's spaces by their ODE space, to mark them in noteChange.
    std::unordered_map<dSpaceID, CollisionSpace*> spacesById_;
    bool reuseTests_ = true;
    struct TestPair {
        dGeomID first;
        dGeomID second;
        bool operator==(const TestPair& other) const {
            return first == other.first && second == other.second;
        }
    };
    struct TestPairHash {
        size_t operator()(const TestPair& pair) const {
            const std::hash<const void*> hash;
            return hash(pair.first) * 31 + hash(pair.second);
        }
    };
    std::unordered_map<TestPair, KnownTest, TestPairHash> knownTests_;

    // Nesting depth of collide(); changes wait while it is above 0.
    int walkDepth_ = 0;
    std::vector<std::function<void()>> afterWalk_;
    // Geoms removed during a walk: out of every test, destroyed at its end.
    std::vector<std::unique_ptr<CollisionGeom>> retired_;
};

}  // namespace vantor
