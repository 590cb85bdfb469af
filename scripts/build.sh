#!/usr/bin/env bash
# Configures and builds everything into build/ (engine, game folder, tests).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTOR_WERROR=ON
cmake --build build -j"$(nproc)"
