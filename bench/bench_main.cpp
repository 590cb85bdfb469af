#include <cstdio>
#include <cstring>
#include <utility>

#include "Bench.h"

// vantor_bench [--quick]: prints one row per case with the engine's figure, the
// floor's (the same work written directly against OGRE and ODE, measured in
// the same run) and their ratio.
int main(int argc, char** argv) {
    using vantor::bench::BenchRow;
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    std::vector<BenchRow> rows;
    // The two cases inside a headless application run first, before the
    // ones on a bare OGRE root.
    for (auto run : {vantor::bench::runStressBench, vantor::bench::runAvatarBench,
                     vantor::bench::runCollisionBench, vantor::bench::runWorldBench}) {
        for (BenchRow& row : run(quick)) {
            rows.push_back(std::move(row));
        }
    }
    std::printf("%-62s %12s %12s %7s  %s\n", "case", "engine", "floor", "ratio", "unit");
    for (const BenchRow& row : rows) {
        if (row.floor > 0) {
            std::printf("%-62s %12.3f %12.3f %7.2f  %s\n", row.name.c_str(), row.value, row.floor,
                        row.value / row.floor, row.unit.c_str());
        } else {
            std::printf("%-62s %12.3f %12s %7s  %s\n", row.name.c_str(), row.value, "", "",
                        row.unit.c_str());
        }
    }
    return 0;
}
