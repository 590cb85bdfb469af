#!/usr/bin/env bash
# The long versions of the fuzz and soak runs, for manual use (CI runs short
# ones through ctest, which stops any test after 300 s):
#   fuzz: 100,000 script function calls in one level (VANTOR_FUZZ_CALLS);
#   soak: 100 level loads and 20 restarts in one process.
# Needs a build (scripts/build.sh). Runs on its own Xvfb and prints each
# run's figures: calls and time, resident memory per restart and per load.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
build="${root}/build"

export VANTOR_GAME_DIR="${build}/game"
export VANTOR_TOOLS_DIR="${build}/tests/engine"
export VANTOR_XVFB_STATE="$(mktemp -d)/xvfb.state"
export PYTHONPATH="${root}/tests/engine"
export ALSOFT_DRIVERS=null

python3 tests/engine/harness.py start-xvfb "${VANTOR_XVFB_STATE}"
trap 'python3 tests/engine/harness.py stop-xvfb "${VANTOR_XVFB_STATE}"' EXIT

# The fuzz level keeps what its calls create (panels, nodes, actors), so later
# calls draw a fuller scene: 100,000 calls took 7 minutes on 2 cores.
VANTOR_FUZZ_CALLS="${VANTOR_FUZZ_CALLS:-100000}" VANTOR_FUZZ_TIMEOUT=1800 \
  python3 tests/engine/test_fuzz.py
VANTOR_SOAK_LOADS="${VANTOR_SOAK_LOADS:-100}" VANTOR_SOAK_RESTARTS="${VANTOR_SOAK_RESTARTS:-20}" \
  python3 tests/engine/test_soak.py
