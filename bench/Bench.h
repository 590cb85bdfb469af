#pragma once

#include <string>
#include <vector>

namespace vantor::bench {

// One line of the benchmark table.
struct BenchRow {
    std::string name;
    double value;
    std::string unit;
};

// Each subsystem's benchmark returns its rows; bench_main.cpp runs them all.
std::vector<BenchRow> runCollisionBench();
std::vector<BenchRow> runWorldBench();
std::vector<BenchRow> runAvatarBench();

}  // namespace vantor::bench
