#include <cstdio>
#include <utility>

#include "Bench.h"

int main() {
    using vantor::bench::BenchRow;
    std::vector<BenchRow> rows = vantor::bench::runCollisionBench();
    for (BenchRow& row : vantor::bench::runWorldBench()) {
        rows.push_back(std::move(row));
    }
    for (BenchRow& row : vantor::bench::runAvatarBench()) {
        rows.push_back(std::move(row));
    }
    std::printf("%-58s %14s  %s\n", "benchmark", "value", "unit");
    for (const BenchRow& row : rows) {
        std::printf("%-58s %14.3f  %s\n", row.name.c_str(), row.value, row.unit.c_str());
    }
    return 0;
}
