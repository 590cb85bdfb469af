#pragma once

#include <string>
#include <vector>

namespace vantor {
class CollisionGeom;
class GameApp;
}  // namespace vantor

namespace vantor::bench {

// One line of the benchmark table.
// `floor` is the same work done directly against the libraries, measured in
// the same run, in the same unit; 0 when the row has no floor.
struct BenchRow {
    std::string name;
    double value;
    std::string unit;
    double floor = 0;
};

// Side of the walking ground in unit quads: 100 x 100 quads, 20,000 triangles.
constexpr int kHillsGrid = 100;

// Registers the walking ground the avatar and stress cases share: gentle
// hills of unit quads facing +Y, one shared vertex buffer, 32-bit indices.
void makeHillsMesh(const std::string& name);

// In a started application, the level the avatar and stress cases walk in:
// "LevelRoot" with "ROT1", empty avatar event functions in the "lua" state,
// and the hills (mesh, node and geom "Hills") in the collision space "Solid".
CollisionGeom* makeHillsLevel(GameApp& app);

// Each subsystem's benchmark returns its rows; bench_main.cpp runs them all.
// `quick` runs one small size of each case with few repetitions: a check that
// the program works, not a measurement.
std::vector<BenchRow> runCollisionBench(bool quick);
std::vector<BenchRow> runWorldBench(bool quick);
std::vector<BenchRow> runAvatarBench(bool quick);
std::vector<BenchRow> runStressBench(bool quick);
std::vector<BenchRow> runFrameBench(bool quick);
std::vector<BenchRow> runScriptBench(bool quick);
std::vector<BenchRow> runSoundBench(bool quick);

}  // namespace vantor::bench
