#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "Bench.h"

// vantor_bench [--quick] [case ...]: prints one row per case with the
// engine's figure, the floor's (the same work written directly against OGRE
// and ODE, measured in the same run) and their ratio. Without case names every
// case runs.
int main(int argc, char** argv) {
    using vantor::bench::BenchRow;
    bool quick = false;
    std::vector<std::string> wanted;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) {
            quick = true;
        } else {
            wanted.emplace_back(argv[i]);
        }
    }
    using Run = std::vector<BenchRow> (*)(bool);
    // The cases inside a headless application run first, then the ones on a
    // bare OGRE root, then the windowed one.
    const std::vector<std::pair<std::string, Run>> cases = {
        {"stress", vantor::bench::runStressBench},       {"avatar", vantor::bench::runAvatarBench},
        {"collision", vantor::bench::runCollisionBench}, {"world", vantor::bench::runWorldBench},
        {"script", vantor::bench::runScriptBench},       {"sound", vantor::bench::runSoundBench},
        {"frame", vantor::bench::runFrameBench}};
    for (const std::string& name : wanted) {
        if (std::none_of(cases.begin(), cases.end(),
                         [&](const auto& c) { return c.first == name; })) {
            std::fprintf(stderr, "vantor_bench: unknown case %s\n", name.c_str());
            return 2;
        }
    }
    std::vector<BenchRow> rows;
    for (const auto& [name, run] : cases) {
        if (!wanted.empty() && std::find(wanted.begin(), wanted.end(), name) == wanted.end()) {
            continue;
        }
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
