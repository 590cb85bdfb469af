#!/usr/bin/env bash
# Builds the engine, the unit tests and the game folder with AddressSanitizer,
# LeakSanitizer and UndefinedBehaviorSanitizer into build-asan/ and runs the
# unit tests and the engine tests against that build.
#
# VANTOR_SANITIZE_SKIP: a ctest regular expression of tests left out (default:
# the engine tests of rendering and play, which add most of the time and little
# that the others do not reach: every unit test runs, and of the engine tests
# the ones of start-up, teardown, restarts and the script API). Set it to
# "^$" to run every test.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"

# Leaks are fatal except the few inside system libraries listed in lsan.supp.
# Any sanitizer report ends the process with a failure, so a test cannot pass
# over one. The gtest discovery step runs the unit test binary at build time,
# so the options apply to the build as well.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:halt_on_error=1:detect_stack_use_after_return=0:strict_string_checks=0:check_initialization_order=1"
export LSAN_OPTIONS="suppressions=${root}/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# The sanitized engine is slower: a shorter fuzz run and no memory-growth
# bound in the soak run (the sanitizer's quarantine holds freed memory).
export VANTOR_FUZZ_CALLS="${VANTOR_FUZZ_CALLS:-5000}"
export VANTOR_FUZZ_TIMEOUT="${VANTOR_FUZZ_TIMEOUT:-280}"
export VANTOR_SOAK_LOADS="${VANTOR_SOAK_LOADS:-10}"
export VANTOR_SOAK_RESTARTS="${VANTOR_SOAK_RESTARTS:-2}"
export VANTOR_SOAK_MAX_RESTART_GROWTH_KB=100000000
export VANTOR_SOAK_MAX_LOAD_GROWTH_KB=100000000

started=$(date +%s)
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTOR_SANITIZE=ON
cmake --build build-asan -j"$(nproc)" --target vantor vantor_unit close_window
built=$(date +%s)
ctest --test-dir build-asan --output-on-failure \
  -E "${VANTOR_SANITIZE_SKIP:-^engine\\.(levels|player|web)\$}"
finished=$(date +%s)
echo "sanitizer build: $((built - started)) s, sanitizer tests: $((finished - built)) s"
