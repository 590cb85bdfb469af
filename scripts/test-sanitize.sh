#!/usr/bin/env bash
# Builds the engine, the unit tests and the game folder with AddressSanitizer,
# LeakSanitizer and UndefinedBehaviorSanitizer into build-asan/ and runs the
# unit tests and the engine tests against that build.
#
# VANTOR_SANITIZE_SKIP: a ctest regular expression of tests left out (default:
# only the benchmark smoke test, which is not built here).
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"

# Leaks are fatal except the few inside system libraries listed in lsan.supp.
# Any sanitizer report ends the process with a failure, so a test cannot pass
# over one. The gtest discovery step runs the unit test binary at build time,
# so the options apply to the build as well. alloc_dealloc_mismatch is off:
# OGRE's image codec plug-in (Codec_STBI) allocates image data with malloc that
# OgreMain frees with delete[], in the first texture load, before any engine
# code could be checked; ASan cannot suppress that check per library.
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:alloc_dealloc_mismatch=0:check_initialization_order=1"
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

# OGRE unloads its plug-ins and Mesa its driver before the leak check runs,
# which leaves the stacks of their allocations without symbols or library
# names, so lsan.supp could not match them. A dlclose that keeps every library
# loaded is preloaded into the engine (after the sanitizer runtime, which must
# come first).
mkdir -p build-asan
printf 'int dlclose(void *handle) { (void)handle; return 0; }\n' |
  cc -shared -fPIC -o build-asan/keep-loaded.so -x c -
export VANTOR_ENGINE_PRELOAD="$(cc -print-file-name=libasan.so) ${root}/build-asan/keep-loaded.so"

started=$(date +%s)
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTOR_SANITIZE=ON -DVANTOR_WERROR=ON
cmake --build build-asan -j"$(nproc)" --target vantor vantor_unit close_window
built=$(date +%s)
ctest --test-dir build-asan --output-on-failure \
  -E "${VANTOR_SANITIZE_SKIP:-^bench\\.}"
finished=$(date +%s)
echo "sanitizer build: $((built - started)) s, sanitizer tests: $((finished - built)) s"
