#!/usr/bin/env bash
# Builds the libFuzzer targets (build/fuzz, clang with AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for SECONDS (default 30), two
# at a time. Each target starts from its seeds and past findings in the
# repository (corpus/NAME and regressions/NAME beside its sources) and from
# the corpus it built in earlier runs, which it keeps growing outside the
# tree, in $KY_FUZZ_CACHE (default ~/.cache/kyhost-fuzz, or under
# $XDG_CACHE_HOME), so that a fresh checkout or build folder does not start
# over. The repository's folders are never changed.
# Exits non-zero at the first crash, leak, timeout or sanitizer report,
# with the failing input in build/fuzz/artifacts/: add it to the target's
# regressions folder once fixed, and the test fuzz_replay.NAME replays it in
# every ordinary and sanitizer build.
#   scripts/fuzz.sh [SECONDS] [TARGET ...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
shift || true
build=build/fuzz
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKY_FUZZ=ON \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
cmake --build "$build" -j "$(nproc)" --target fuzzers
mkdir -p "$build/artifacts" "$build/logs"

cache=${KY_FUZZ_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/kyhost-fuzz}

run() { # run NAME SEEDS
  local name=$1 seeds=$2 corpus=$cache/corpus/$1 regressions
  regressions=$(dirname "$seeds")/../regressions/$name
  mkdir -p "$corpus"
  local extra=()
  [ -d "$regressions" ] && extra+=("$regressions")
  if "$build/bin/$name" "$corpus" "$seeds" "${extra[@]}" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
       -print_final_stats=1 -artifact_prefix="$build/artifacts/$name-" >"$build/logs/$name.log" 2>&1; then
    echo "fuzz $name: $(grep -o 'stat::number_of_executed_units: [0-9]*' "$build/logs/$name.log" | grep -o '[0-9]*$') runs, no fault"
  else
    echo "fuzz $name: FAILED (log $build/logs/$name.log)"
    grep -E 'ERROR|fault|SUMMARY|Test unit written' "$build/logs/$name.log" | head -20
    return 1
  fi
}

status=0
pids=()
while read -r name seeds; do
  [ -n "$name" ] || continue
  if [ $# -gt 0 ] && [[ " $* " != *" $name "* ]]; then continue; fi
  run "$name" "$seeds" &
  pids+=($!)
  if [ ${#pids[@]} -ge 2 ]; then
    wait "${pids[0]}" || status=1
    pids=("${pids[@]:1}")
  fi
done <"$build/fuzz_targets.txt"
for pid in "${pids[@]}"; do wait "$pid" || status=1; done
exit $status
