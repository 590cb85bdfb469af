// Collision costs that bound a level's load time and its per-tick budget:
// building triangle data from a large mesh, and one ray test against it,
// through the collision manager, through a Lua call and as a bare dCollide.
#include <OgreHardwareBufferManager.h>
#include <OgreMesh.h>
#include <OgreMeshManager.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>
#include <OgreSubMesh.h>
#include <lauxlib.h>
#include <lua.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <random>

#include "Bench.h"
#include "collision/CollisionMgr.h"
#include "script/ScriptVM.h"
#include "support/HeadlessOgre.h"
#include "support/TestGame.h"

namespace vantor::bench {

namespace {

using Clock = std::chrono::steady_clock;

float height(int x, int z) {
    return 3.0f * std::sin(x * 0.11f) * std::cos(z * 0.07f);
}

// A terrain-like grid mesh facing +Y, positions only, 32-bit indices.
void makeTerrain(const std::string& name, int kGrid) {
    Ogre::MeshPtr mesh = Ogre::MeshManager::getSingleton().createManual(name, "General");
    const int side = kGrid + 1;
    auto* data = new Ogre::VertexData();  // owned by the mesh
    data->vertexCount = side * side;
    data->vertexDeclaration->addElement(0, 0, Ogre::VET_FLOAT3, Ogre::VES_POSITION);
    auto vertices = Ogre::HardwareBufferManager::getSingleton().createVertexBuffer(
        12, data->vertexCount, Ogre::HardwareBuffer::HBU_STATIC_WRITE_ONLY, true);
    std::vector<float> raw;
    for (int z = 0; z < side; ++z) {
        for (int x = 0; x < side; ++x) {
            raw.insert(raw.end(), {float(x), height(x, z), float(z)});
        }
    }
    vertices->writeData(0, raw.size() * 4, raw.data(), true);
    data->vertexBufferBinding->setBinding(0, vertices);
    mesh->sharedVertexData = data;

    std::vector<uint32_t> indices;
    for (int z = 0; z < kGrid; ++z) {
        for (int x = 0; x < kGrid; ++x) {
            const uint32_t v00 = z * side + x, v10 = v00 + 1, v01 = v00 + side, v11 = v01 + 1;
            indices.insert(indices.end(), {v00, v01, v10, v10, v01, v11});
        }
    }
    Ogre::SubMesh* sub = mesh->createSubMesh();
    sub->useSharedVertices = true;
    auto buffer = Ogre::HardwareBufferManager::getSingleton().createIndexBuffer(
        Ogre::HardwareIndexBuffer::IT_32BIT, indices.size(),
        Ogre::HardwareBuffer::HBU_STATIC_WRITE_ONLY, true);
    buffer->writeData(0, indices.size() * 4, indices.data(), true);
    sub->indexData->indexBuffer = buffer;
    sub->indexData->indexCount = indices.size();
    mesh->_setBounds(Ogre::AxisAlignedBox(0, -5, 0, kGrid, 5, kGrid));
    mesh->load();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

template <class Body>
double microsecondsPer(int count, Body&& body) {
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) {
        body(i);
    }
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / count;
}

// Triangle data of one terrain size: the manager's getMesh (read OGRE's
// buffers, build ODE's data) against ODE's builder alone.
void benchBuild(int kGrid, bool quick, std::vector<BenchRow>& rows) {
    const std::string name = "terrain" + std::to_string(kGrid);
    makeTerrain(name, kGrid);
    CollisionMgr mgr;

    std::vector<double> builds;
    int triangles = 0;
    const int repeats = quick ? 1 : 7;
    for (int i = 0; i < repeats; ++i) {
        // A fresh manager has nothing kept from before: the first load's cost.
        CollisionMgr fresh;
        const auto start = Clock::now();
        CollisionMesh* mesh = fresh.getMesh(name);
        fresh.waitForBuilds();
        builds.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        triangles = mesh->indexCount() / 3;
    }
    // A level reload: the data kept from the level before is checked and reused.
    std::vector<double> reloads;
    mgr.getMesh(name);
    for (int i = 0; i < repeats; ++i) {
        mgr.clear();
        const auto start = Clock::now();
        mgr.getMesh(name);
        reloads.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    // The floor: ODE's builder (OPCODE's tree) alone, from arrays already read.
    std::vector<double> odeBuilds;
    for (int i = 0; i < repeats; ++i) {
        const CollisionMesh* cached = mgr.getMesh(name);
        std::vector<float> vertices = cached->vertices();
        std::vector<uint32_t> indices = cached->indices();
        const auto start = Clock::now();
        CollisionMesh copy(std::move(vertices), std::move(indices));
        odeBuilds.push_back(
            std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    const std::string size = std::to_string(triangles) + " triangles";
    rows.push_back(
        {"triangle data build (getMesh), " + size, median(builds), "ms", median(odeBuilds)});
    rows.push_back({"  the same on a level reload (kept), " + size, median(reloads), "us",
                    median(odeBuilds) * 1000.0});

    mgr.clear();
}

// A level's first load with several distinct meshes of 25k triangles: from
// the first geom asked for until every tree is built, on the default number
// of build threads against one at a time (as before the builds overlapped).
// The two alternate, a fresh manager each round; each figure is the median.
void benchSeveralMeshes(int meshes, bool quick, std::vector<BenchRow>& rows) {
    for (int m = 0; m < meshes; ++m) {
        if (!Ogre::MeshManager::getSingleton().getByName("spread" + std::to_string(m))) {
            makeTerrain("spread" + std::to_string(m), 112);
        }
    }
    auto firstLoad = [meshes](unsigned threads) {
        CollisionMgr mgr(threads);
        const auto start = Clock::now();
        for (int m = 0; m < meshes; ++m) {
            mgr.createGeom("geom" + std::to_string(m), "spread" + std::to_string(m));
        }
        mgr.waitForBuilds();
        return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    };
    std::vector<double> overlapped;
    std::vector<double> inTurn;
    for (int round = 0; round < (quick ? 1 : 7); ++round) {
        overlapped.push_back(firstLoad(MeshBuildPool::defaultThreads()));
        inTurn.push_back(firstLoad(1));
    }
    rows.push_back({"first load, " + std::to_string(meshes) + " meshes of 25088 triangles, " +
                        std::to_string(MeshBuildPool::defaultThreads()) + " threads vs 1",
                    median(overlapped), "ms", median(inTurn)});
}

double residentMegabytes() {
    std::ifstream statm("/proc/self/statm");
    double pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * 4096.0 / (1024.0 * 1024.0);
}

// Level loads that each use one of five meshes in turn, as a game moving
// between levels does: the manager keeps their triangle data across loads, so
// after the first round the resident size should stay where it is.
void benchKeptMeshes(bool quick, std::vector<BenchRow>& rows) {
    const int kMeshes = 5;
    for (int m = 0; m < kMeshes; ++m) {
        makeTerrain("level" + std::to_string(m), 112);
    }
    CollisionMgr mgr;
    const int loads = quick ? 10 : 100;
    double afterFirstRound = 0;
    std::vector<double> times;
    for (int load = 0; load < loads; ++load) {
        mgr.clear();
        const auto start = Clock::now();
        mgr.getMesh("level" + std::to_string(load % kMeshes));
        mgr.waitForBuilds();
        times.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        if (load == kMeshes - 1) {
            afterFirstRound = residentMegabytes();
        }
    }
    rows.push_back(
        {"kept meshes: " + std::to_string(loads) + " loads over 5 meshes, growth after 5",
         residentMegabytes() - afterFirstRound, "MB"});
    rows.push_back({"kept meshes: triangle data per load (median)", median(times), "us"});
    mgr.clear();
}

// Rays against one terrain size inside a headless application: through the
// collision manager, through the RayTest script function called from a Lua
// loop, and as bare dCollide calls with the same ray settings. The three run
// in alternating rounds so that none of them profits alone from caches
// another one warmed; each figure is its best round.
void benchRays(int kGrid, bool quick, std::vector<BenchRow>& rows) {
    test::TestGame game(test::TestGame::defaultSetup(), {{"start.lua", "-- empty\n"}});
    GameApp& app = game.start();
    const std::string name = "terrain" + std::to_string(kGrid);
    makeTerrain(name, kGrid);
    CollisionMgr& mgr = *app.getCollisionMgr();
    mgr.createSpace("Solid", "");
    CollisionGeom* geom = mgr.createGeom(name, name);
    geom->setNode(app.getSceneManager()->getRootSceneNode()->createChildSceneNode(name));
    geom->update();
    mgr.addGeomToSpace("Solid", geom);
    mgr.waitForBuilds();  // the raw rays below use the geom without the manager
    const std::string size = std::to_string(mgr.getMesh(name)->indexCount() / 3) + " triangles";

    const int kRays = quick ? 200 : 20000;
    const int span = (kGrid - 1) * 100;
    // The Lua loop aims its rays itself; the C++ loops use the same origins.
    std::vector<Ogre::Vector3> origins(kRays);
    for (int i = 1; i <= kRays; ++i) {
        origins[i - 1] = Ogre::Vector3(0.5f + float(int64_t(i) * 7919 % span) / 100.0f, 20.0f,
                                       0.5f + float(int64_t(i) * 104729 % span) / 100.0f);
    }
    game.run(
        "function RayLoop(n) local hits = 0 for i = 1, n do "
        "local x, y, z, name = RayTest('Solid', 0.5 + (i * 7919 % " +
        std::to_string(span) + ") / 100, 20, 0.5 + (i * 104729 % " + std::to_string(span) +
        ") / 100, 0, -1, 0, 100) "
        "if name ~= '' then hits = hits + 1 end end luaHits = hits end "
        // The same loop against a space that does not exist: what is left is
        // the loop's own arithmetic and the script function call.
        "function MissLoop(n) for i = 1, n do "
        "RayTest('None', 0.5 + (i * 7919 % " +
        std::to_string(span) + ") / 100, 20, 0.5, 0, -1, 0, 100) end end");
    lua_State* L = app.getScriptVM("lua")->state();

    dGeomID ray = dCreateRay(nullptr, 100.0);
    dGeomRaySetClosestHit(ray, 1);
    CollisionResult contacts;
    int hits = 0, rawHits = 0;
    double managed = 1e9, raw = 1e9, lua = 1e9, miss = 1e9;
    for (int round = 0; round < (quick ? 1 : 5); ++round) {
        hits = 0;
        managed =
            std::min(managed, microsecondsPer(kRays, [&](int i) {
                         CollisionResult record;
                         mgr.rayTest("Solid", origins[i], Ogre::Vector3(0, -1, 0), 100.0f, record);
                         hits += record.hitNode != nullptr;
                     }));
        rawHits = 0;
        raw = std::min(raw, microsecondsPer(kRays, [&](int i) {
                           dGeomRaySet(ray, origins[i].x, origins[i].y, origins[i].z, 0, -1, 0);
                           rawHits += dCollide(ray, geom->geom(), CollisionResult::kMaxContacts,
                                               contacts.contacts.data(), sizeof(dContactGeom)) > 0;
                       }));
        lua = std::min(lua, microsecondsPer(1, [&](int) {
                                lua_getglobal(L, "RayLoop");
                                lua_pushnumber(L, kRays);
                                lua_call(L, 1, 0);
                            }) / kRays);
        miss = std::min(miss, microsecondsPer(1, [&](int) {
                                  lua_getglobal(L, "MissLoop");
                                  lua_pushnumber(L, kRays);
                                  lua_call(L, 1, 0);
                              }) / kRays);
    }
    dGeomDestroy(ray);
    lua_getglobal(L, "luaHits");
    const int luaHits = int(lua_tonumber(L, -1));
    lua_pop(L, 1);

    rows.push_back({"RayTest from Lua vs raw dCollide ray, " + size, lua, "us/ray", raw});
    rows.push_back({"CollisionMgr::rayTest vs raw dCollide ray, " + size, managed, "us/ray", raw});
    rows.push_back({"  RayTest from Lua on an unknown space (the call alone)", miss, "us/ray"});
    rows.push_back({"  hits of " + std::to_string(kRays) + " rays: manager / raw / Lua",
                    double(hits), std::to_string(rawHits) + " / " + std::to_string(luaHits)});
    mgr.clear();
    game.stop();
}

}  // namespace

std::vector<BenchRow> runCollisionBench(bool quick) {
    std::vector<BenchRow> rows;
    // 56, 112 and 224 quads a side: 6,272, 25,088 and 100,352 triangles.
    const std::vector<int> grids = quick ? std::vector<int>{56} : std::vector<int>{56, 112, 224};
    {
        test::HeadlessOgre ogre;
        for (int grid : grids) {
            benchBuild(grid, quick, rows);
        }
        benchKeptMeshes(quick, rows);
        for (int meshes : quick ? std::vector<int>{2} : std::vector<int>{4, 8}) {
            benchSeveralMeshes(meshes, quick, rows);
        }
        Ogre::MeshManager::getSingleton().removeAll();
    }
    for (int grid : grids) {
        benchRays(grid, quick, rows);
    }
    return rows;
}

}  // namespace vantor::bench
