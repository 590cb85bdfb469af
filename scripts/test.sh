#!/usr/bin/env bash
# Builds everything and runs every test: unit tests, engine tests under Xvfb
# and the scripted demo play-through.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
ctest --test-dir build --output-on-failure
