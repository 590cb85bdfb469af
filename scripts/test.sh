#!/usr/bin/env bash
# Builds everything and runs every test: unit tests, engine tests under Xvfb
# and the scripted demo play-through; then the same unit and engine tests
# against a sanitizer build (scripts/test-sanitize.sh, build-asan/).
# VANTOR_SKIP_SANITIZE=1 leaves the sanitizer run out. Ends with the size of
# the tests against the code (scripts/test_ratio.py).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
ctest --test-dir build --output-on-failure
if [ "${VANTOR_SKIP_SANITIZE:-0}" != "1" ]; then
  bash scripts/test-sanitize.sh
fi
python3 scripts/test_ratio.py
