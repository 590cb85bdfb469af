#include "collision/CollisionMgr.h"

#include <OgreException.h>
#include <OgreMesh.h>
#include <OgreMeshManager.h>
#include <OgreNode.h>
#include <OgreResourceGroupManager.h>

#include <algorithm>
#include <cmath>

#include "collision/OdeRuntime.h"
#include "core/Log.h"
#include "core/LuaString.h"

namespace vantor {

namespace {

const char* const kMeshGroup = "LevelData";
const char* const kMeshNotLoaded = "ERROR. Cannot load mesh for collision: ";
const char* const kNoParentSpace = "ERROR. No collision space to create a child space in: ";
const char* const kClearDuringWalk =
    "Error. The collision data cannot be cleared while a collision test runs";

// Farther than any contact a test reports.
constexpr double kNoHitDistance = 999999.0;

// What the near-callbacks need; handed to ODE as the callback data.
struct QueryContext {
    CollisionResult* record;
    dGeomID ray;   // ray tests: the ray geom
    dGeomID self;  // collision tests: the object that name2 names
};

double distance(const Ogre::Vector3& from, const dReal* to) {
    const double dx = to[0] - from.x;
    const double dy = to[1] - from.y;
    const double dz = to[2] - from.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

int collidePair(dGeomID o1, dGeomID o2, CollisionResult& record) {
    return dCollide(o1, o2, CollisionResult::kMaxContacts, record.contacts.data(),
                    sizeof(dContactGeom));
}

// Collision tests only ask whether two geoms touch: asking for one
// unrefined contact spares ODE's triangle colliders the clipping and merging
// of contacts for every overlapping triangle pair.
int touchPair(dGeomID o1, dGeomID o2, CollisionResult& record) {
    return dCollide(o1, o2, kTouchFlags, record.contacts.data(), sizeof(dContactGeom));
}

void rayCallback(void* data, dGeomID o1, dGeomID o2) {
    auto& context = *static_cast<QueryContext*>(data);
    CollisionResult& record = *context.record;
    if (dGeomIsSpace(o1) || dGeomIsSpace(o2)) {
        dSpaceCollide2(o1, o2, data, &rayCallback);
        return;
    }
    const int n = collidePair(o1, o2, record);
    if (n < 1) {
        return;
    }
    dGeomID target = (o1 == context.ray) ? o2 : o1;
    auto* node = static_cast<Ogre::Node*>(dGeomGetData(target));
    if (!node) {
        return;  // nothing to name: geoms are bound to their node right after creation
    }
    // A point of exactly (0, 0, 0) reads as "nothing yet", so a hit at the
    // world origin is replaced by the next hit found, however far.
    double best = kNoHitDistance;
    if (record.point != Ogre::Vector3::ZERO) {
        const dReal point[3] = {record.point.x, record.point.y, record.point.z};
        best = distance(record.origin, point);
    }
    for (int i = 0; i < n; ++i) {
        const dReal* pos = record.contacts[i].pos;
        const double d = distance(record.origin, pos);
        if (d < best) {
            best = d;
            record.point = Ogre::Vector3(static_cast<float>(pos[0]), static_cast<float>(pos[1]),
                                         static_cast<float>(pos[2]));
            record.hitNode = node;
        }
    }
}

void testCallback(void* data, dGeomID o1, dGeomID o2) {
    auto& context = *static_cast<QueryContext*>(data);
    CollisionResult& record = *context.record;
    if (dGeomIsSpace(o1) || dGeomIsSpace(o2)) {
        dSpaceCollide2(o1, o2, data, &testCallback);
        return;
    }
    // The member of name2's own space is reported (not of its sub-spaces); when
    // name2 names a geom, that geom.
    const dGeomID self = context.self;
    const bool secondIsSelf = o2 == self || dGeomGetSpace(o2) == reinterpret_cast<dSpaceID>(self);
    auto* node = static_cast<Ogre::Node*>(dGeomGetData(secondIsSelf ? o2 : o1));
    if (!node) {
        return;  // a geom without a node has no name to report
    }
    if (touchPair(o1, o2, record) < 1) {
        return;
    }
    const dReal* pos = record.contacts[0].pos;
    record.point = Ogre::Vector3(static_cast<float>(pos[0]), static_cast<float>(pos[1]),
                                 static_cast<float>(pos[2]));
    record.hitNode = node;
    record.hitName = node->getName();
    if (!record.hitList.empty()) {
        record.hitList += ", ";
    }
    record.hitList += quoteLuaString(record.hitName);
    record.hitNames.push_back(record.hitName);
}

bool isFinite(const Ogre::Vector3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

}  // namespace

CollisionMgr::CollisionMgr(unsigned buildThreads)
    : builds_(std::make_unique<MeshBuildPool>(buildThreads)) {
    ensureOdeInitialised();
    ray_ = std::make_unique<CollisionRay>();
}

CollisionMgr::~CollisionMgr() {
    // Finishes the builds in flight: the workers use the meshes freed below.
    builds_.reset();
    ray_.reset();
    // Geoms first: they lie in the spaces and use the meshes' triangle data.
    geoms_.clear();
    spaces_.clear();
    meshes_.clear();
}

CollisionSpace* CollisionMgr::createSpace(const std::string& name, const std::string& parent) {
    if (CollisionSpace* existing = getSpace(name)) {
        return existing;
    }
    dSpaceID parentSpace = nullptr;
    if (!parent.empty()) {
        CollisionSpace* p = getSpace(parent);
        if (!p) {
            log(std::string(kNoParentSpace) + parent + " for " + name);
            return nullptr;
        }
        parentSpace = p->space();
    }
    // Made at the top level and put into its parent as a separate change,
    // which a walk of the parent delays.
    auto space = std::make_unique<CollisionSpace>(nullptr);
    CollisionSpace* result = space.get();
    spaces_.emplace(name, std::move(space));
    spacesById_.emplace(result->space(), result);
    noteChange();
    if (parentSpace) {
        const dGeomID child = reinterpret_cast<dGeomID>(result->space());
        afterWalk([this, parentSpace, child] {
            dSpaceAdd(parentSpace, child);
            noteChange();
        });
    }
    return result;
}

CollisionSpace* CollisionMgr::getSpace(std::string_view name) {
    if (lastSpace_ && name == lastSpaceName_) {
        return lastSpace_;
    }
    // A name that is no space leaves the last one found in place.
    auto it = spaces_.find(name);
    if (it == spaces_.end()) {
        return nullptr;
    }
    // Spaces live until clear(), which forgets this one.
    lastSpaceName_.assign(name.data(), name.size());
    lastSpace_ = it->second.get();
    return lastSpace_;
}

bool CollisionMgr::isCurrent(const std::string& meshName, const KeptMesh& kept) const {
    Ogre::MeshManager* manager = Ogre::MeshManager::getSingletonPtr();
    if (!manager) {
        return false;
    }
    try {
        const Ogre::MeshPtr mesh = manager->getByName(meshName, Ogre::RGN_AUTODETECT);
        return mesh && mesh->isLoaded() && mesh->getHandle() == kept.handle &&
               mesh->getStateCount() == kept.stateCount;
    } catch (const Ogre::Exception&) {
        return false;
    }
}

CollisionMesh* CollisionMgr::getMesh(const std::string& meshName) {
    if (auto it = meshes_.find(meshName); it != meshes_.end()) {
        KeptMesh& kept = it->second;
        if (kept.level == level_) {
            return kept.failed ? nullptr : kept.mesh.get();
        }
        // Kept from an earlier level: reused only if its rendering mesh has
        // not been unloaded, reloaded or replaced since it was read.
        if (isCurrent(meshName, kept)) {
            kept.level = level_;
            return kept.mesh.get();
        }
        meshes_.erase(it);  // no geom uses it: clear() destroyed them all
    }
    Ogre::MeshPtr mesh;
    try {
        auto& manager = Ogre::MeshManager::getSingleton();
        mesh = manager.getByName(meshName, Ogre::RGN_AUTODETECT);
        if (!mesh) {
            // Static buffers with shadow copies in system memory, so they can be read back.
            mesh = manager.load(meshName, kMeshGroup, Ogre::HardwareBuffer::HBU_STATIC_WRITE_ONLY,
                                Ogre::HardwareBuffer::HBU_STATIC_WRITE_ONLY, true, true);
        } else {
            mesh->load();
        }
    } catch (const Ogre::Exception& e) {
        log(kMeshNotLoaded + meshName + " (" + e.getDescription() + ")");
        return nullptr;
    }
    if (!mesh || !mesh->isLoaded()) {
        log(kMeshNotLoaded + meshName);
        return nullptr;
    }
    std::unique_ptr<CollisionMesh> built = CollisionMesh::fromMesh(*mesh, 1.0f);
    if (!built) {
        return nullptr;
    }
    CollisionMesh* result = built.get();
    meshes_[meshName] =
        KeptMesh{std::move(built), mesh->getHandle(), mesh->getStateCount(), level_};
    building_.push_back(meshName);
    builds_->submit(*result);
    if (builds_->threads() == 1) {
        // Built already: a failure shows here, before any geom uses it.
        waitForBuilds();
        if (meshes_[meshName].failed) {
            meshes_.erase(meshName);
            return nullptr;
        }
    }
    return result;
}

void CollisionMgr::waitForBuilds() {
    if (building_.empty()) {
        return;
    }
    builds_->waitAll();
    std::vector<std::string> finished;
    finished.swap(building_);
    for (const std::string& name : finished) {
        KeptMesh& kept = meshes_.at(name);
        if (kept.mesh->failed()) {
            kept.failed = true;
            disableGeomsOf(*kept.mesh);
        }
    }
}

void CollisionMgr::disableGeomsOf(const CollisionMesh& mesh) {
    // A walk skips disabled members, and a pair in which neither side's
    // category meets the other's collide bits, before ODE reads the data's
    // tree; collisionTest refuses a disabled geom against a geom.
    auto disable = [&mesh](const CollisionGeom& geom) {
        if (&geom.mesh() == &mesh) {
            dGeomDisable(geom.geom());
            dGeomSetCategoryBits(geom.geom(), 0);
            dGeomSetCollideBits(geom.geom(), 0);
        }
    };
    for (const auto& entry : geoms_) {
        disable(*entry.second);
    }
    for (const auto& geom : retired_) {
        disable(*geom);
    }
    noteChange();
}

CollisionGeom* CollisionMgr::createGeom(const std::string& owner, const std::string& meshName) {
    if (CollisionGeom* existing = getGeom(owner)) {
        return existing;
    }
    CollisionMesh* mesh = getMesh(meshName);
    if (!mesh) {
        return nullptr;
    }
    auto geom = std::make_unique<CollisionGeom>(*mesh, this);
    CollisionGeom* result = geom.get();
    geoms_.emplace(owner, std::move(geom));
    noteChange();
    return result;
}

CollisionGeom* CollisionMgr::getGeom(const std::string& owner) {
    auto it = geoms_.find(owner);
    return it == geoms_.end() ? nullptr : it->second.get();
}

void CollisionMgr::removeGeom(const std::string& owner) {
    auto it = geoms_.find(owner);
    if (it == geoms_.end()) {
        return;
    }
    std::unique_ptr<CollisionGeom> geom = std::move(it->second);
    geoms_.erase(it);
    noteChange();
    if (isWalking()) {
        // Destroying it takes it out of its space: it leaves every test now
        // (its node may be going too) and goes when the walk ends.
        geom->retire();
        retired_.push_back(std::move(geom));
    }
}

void CollisionMgr::addGeomToSpace(const std::string& spaceName, CollisionGeom* geom) {
    CollisionSpace* space = getSpace(spaceName);
    if (!space || !geom) {
        return;
    }
    const dSpaceID target = space->space();
    afterWalk([this, geom, target] {
        // ODE refuses to add a geom that already lies in a space.
        const dSpaceID current = dGeomGetSpace(geom->geom());
        if (current == target) {
            return;
        }
        if (current) {
            dSpaceRemove(current, geom->geom());
        }
        dSpaceAdd(target, geom->geom());
        noteChange();
    });
}

dGeomID CollisionMgr::findObject(const std::string& name) {
    if (CollisionSpace* space = getSpace(name)) {
        return reinterpret_cast<dGeomID>(space->space());
    }
    if (CollisionGeom* geom = getGeom(name)) {
        return geom->geom();
    }
    return nullptr;
}

void CollisionMgr::clear() {
    if (isWalking()) {
        log(kClearDuringWalk);
        return;
    }
    waitForBuilds();
    // Geoms first: they lie in the spaces and use the meshes' triangle data.
    geoms_.clear();
    lastSpace_ = nullptr;
    spacesById_.clear();
    spaces_.clear();
    knownTests_.clear();
    noteChange();
    releaseMeshes();
    ++level_;
}

unsigned long long CollisionMgr::noteChange(dGeomID geom) {
    const unsigned long long count = ++changes_;
    for (dSpaceID space = dGeomGetSpace(geom); space;
         space = dGeomGetSpace(reinterpret_cast<dGeomID>(space))) {
        auto it = spacesById_.find(space);
        if (it == spacesById_.end()) {
            break;  // not one of ours (a geom lent to a test's own space)
        }
        it->second->setChangedAt(count);
    }
    return count;
}

void CollisionMgr::releaseMeshes() {
    // No geom is left, so any mesh may go. Meshes whose rendering mesh changed
    // go; of the rest the most recently used are kept up to the budget.
    std::vector<std::map<std::string, KeptMesh, std::less<>>::iterator> current;
    for (auto it = meshes_.begin(); it != meshes_.end();) {
        if (!it->second.failed && isCurrent(it->first, it->second)) {
            current.push_back(it++);
        } else {
            it = meshes_.erase(it);
        }
    }
    std::stable_sort(current.begin(), current.end(), [](const auto& a, const auto& b) {
        return a->second.level > b->second.level;
    });
    size_t triangles = 0;
    for (const auto& it : current) {
        triangles += static_cast<size_t>(it->second.mesh->indexCount() / 3);
        if (triangles > kKeptTriangles) {
            meshes_.erase(it);
        }
    }
}

void CollisionMgr::collide(dGeomID o1, dGeomID o2, void* data, dNearCallback* callback) {
    // ODE reads the triangle data of every geom it meets in the walk.
    waitForBuilds();
    // The depth is restored however the walk ends.
    struct Walk {
        CollisionMgr& mgr;
        explicit Walk(CollisionMgr& m) : mgr(m) { ++mgr.walkDepth_; }
        ~Walk() {
            if (--mgr.walkDepth_ == 0) {
                mgr.endWalk();
            }
        }
    } walk(*this);
    dSpaceCollide2(o1, o2, data, callback);
}

void CollisionMgr::afterWalk(std::function<void()> change) {
    if (isWalking()) {
        afterWalk_.push_back(std::move(change));
    } else {
        change();
    }
}

void CollisionMgr::endWalk() {
    if (afterWalk_.empty() && retired_.empty()) {
        return;  // most walks (every ray) change nothing
    }
    // No walk runs now, so a change that asks for another runs it at once.
    std::vector<std::function<void()>> changes;
    changes.swap(afterWalk_);
    for (const auto& change : changes) {
        change();
    }
    retired_.clear();
}

void CollisionMgr::rayTest(std::string_view spaceName, const Ogre::Vector3& origin,
                           const Ogre::Vector3& direction, float length, CollisionResult& record) {
    record.point = Ogre::Vector3::ZERO;
    CollisionSpace* space = getSpace(spaceName);
    if (!space) {
        return;
    }
    // A ray without a direction or with non-finite numbers hits nothing; ODE
    // would fail to normalise its direction.
    if (!isFinite(origin) || !isFinite(direction) || direction.isZeroLength() ||
        !std::isfinite(length)) {
        return;
    }
    ray_->set(origin, direction, length);
    record.origin = ray_->origin();
    QueryContext context{&record, ray_->geom(), nullptr};
    collide(ray_->geom(), reinterpret_cast<dGeomID>(space->space()), &context, &rayCallback);
}

std::string CollisionMgr::collisionTest(const std::string& name1, const std::string& name2,
                                        bool wantList) {
    // findObject's lookups, keeping what each name stands for.
    CollisionSpace* space1 = getSpace(name1);
    CollisionGeom* geom1 = space1 ? nullptr : getGeom(name1);
    CollisionSpace* space2 = getSpace(name2);
    CollisionGeom* geom2 = space2 ? nullptr : getGeom(name2);
    CollisionResult& record = queryResult_;
    record.point = Ogre::Vector3::ZERO;
    record.hitNode = nullptr;
    record.hitName.clear();
    record.hitList.clear();
    record.hitNames.clear();
    record.selfName = name2;
    if ((!space1 && !geom1) || (!space2 && !geom2)) {
        return {};
    }
    const dGeomID o1 = space1 ? reinterpret_cast<dGeomID>(space1->space()) : geom1->geom();
    const dGeomID o2 = space2 ? reinterpret_cast<dGeomID>(space2->space()) : geom2->geom();
    // ODE hands two geoms to the callback without the walk's checks.
    if (geom1 && geom2 && (!dGeomIsEnabled(o1) || !dGeomIsEnabled(o2))) {
        return {};
    }
    KnownTest* known = nullptr;
    if (reuseTests_) {
        known = &knownTests_[TestPair{o1, o2}];
        const unsigned long long changed =
            std::max({renamedAt_, space1 ? space1->changedAt() : geom1->changedAt(),
                      space2 ? space2->changedAt() : geom2->changedAt()});
        if (known->changes >= changed) {
            record.point = known->point;
            record.hitNode = known->hitNode;
            record.hitName = known->hitName;
            record.hitList = known->hitList;
            record.hitNames = known->hitNames;
            return wantList ? record.hitList : record.hitName;
        }
    }
    // Changes the walk held back run at its end: the answer is that of the
    // state before them.
    const unsigned long long before = changes_;
    QueryContext context{&record, nullptr, o2};
    collide(o1, o2, &context, &testCallback);
    if (known) {
        known->changes = before;
        known->point = record.point;
        known->hitNode = record.hitNode;
        known->hitName = record.hitName;
        known->hitList = record.hitList;
        known->hitNames = record.hitNames;
    }
    return wantList ? record.hitList : record.hitName;
}

}  // namespace vantor
