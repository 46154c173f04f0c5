#!/usr/bin/env bash
# Builds the project twice (optimised, and with AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs the whole test suite in both, runs
# the threaded sweep's concurrency test under ThreadSanitizer, then runs
# every fuzz target for a short while.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=$(nproc)
build() { # build DIR CMAKE-ARGS...
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@"
  cmake --build "$dir" -j "$jobs"
}

build build/release -DCMAKE_BUILD_TYPE=Release
ctest --test-dir build/release --output-on-failure -j "$jobs"

build build/sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKY_SANITIZE=ON
# The Windows end-to-end tests run a cross-compiled program under Wine; the
# sanitizers have nothing to instrument there, so they run once, above. The
# Python module's tests run in the interpreter, which is not built with the
# sanitizers; they too run once, above.
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build/sanitize --output-on-failure -j "$jobs" -LE 'wine|python'

# ThreadSanitizer: only what runs on many threads at once (the threaded
# sweep's concurrency test), in its own build; a few minutes on two cores.
cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKY_TSAN=ON
cmake --build build/tsan -j "$jobs" --target sweeptri_threaded_concurrency_tests kyhost_tiling_sweep_tests
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  ctest --test-dir build/tsan --output-on-failure -j "$jobs" -L tsan

# Fuzzing: a short run of every libFuzzer target (30 seconds each, two at a
# time), so that the first crash fails the test command. scripts/fuzz.sh
# with a larger number of seconds is the longer run.
bash scripts/fuzz.sh 30
