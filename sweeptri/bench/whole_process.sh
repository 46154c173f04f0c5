#!/bin/bash
# Times `kyhost sweeptri npy:X npy:Y --out tri.npy` against the CGAL peer
# program on the same .npy files, as whole processes run in turn (ours, the
# peer, ours, ...), and prints for each point set and each program the
# median wall, user and system seconds, page faults (minor + major) and peak
# resident bytes per point, then the ratio of our median to the peer's for
# each figure (below 1: we spend less).
#
# Usage: sweeptri/bench/whole_process.sh [BUILD_DIR [REPEATS [SET ...]]]
#   BUILD_DIR  a build with -DKY_BUILD_BENCHMARKS=ON (default build/release)
#   REPEATS    runs per program and set (default 5)
#   SET        point sets of make_inputs.py (default: all but the largest;
#              KY_BENCH_LARGE=1 adds the 10^7 sets; uniform-1e8 runs only
#              when named)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-build/release}
repeats=${2:-5}
shift $(( $# > 2 ? 2 : $# ))
kyhost=$build/bin/kyhost
peer=$build/bin/sweeptri_cgal_peer
for program in "$kyhost" "$peer"; do
  [ -x "$program" ] || { echo "missing $program (build kyhost sweeptri sweeptri_cgal_peer)" >&2; exit 2; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
/usr/bin/python3 "$here/make_inputs.py" "$work" "$@" > "$work/sets.txt"

# Runs a command once; appends "wall user system faults peakKB" to a file.
runOnce() {
  local figures=$1; shift
  if ! /usr/bin/time -f "%e %U %S %R %F %M" "$@" > /dev/null 2> "$work/stderr"; then
    echo "failed: $*" >&2; cat "$work/stderr" >&2; exit 1
  fi
  tail -n 1 "$work/stderr" | awk '{print $1, $2, $3, $4 + $5, $6}' >> "$figures"
}

# The median of each column of a figures file.
medians() {
  local column
  for column in 1 2 3 4 5; do
    cut -d' ' -f"$column" "$1" | sort -g | awk '{v[NR]=$1} END {printf "%s ", v[int((NR+1)/2)]}'
  done
  echo
}

rows() { /usr/bin/python3 -c "import numpy, sys; print(numpy.load(sys.argv[1]).shape[0])" "$1"; }

echo "medians of $repeats runs of each program, taken in turn"
printf '%-16s %9s %-9s %8s %8s %8s %8s %9s %10s\n' set points program "wall s" "user s" "sys s" faults "peak B/p" rows
while read -r name count _; do
  name=${name%:}
  x=$work/$name.x.npy y=$work/$name.y.npy
  : > "$work/ours.txt"; : > "$work/peer.txt"
  for ((r = 0; r < repeats; ++r)); do
    runOnce "$work/ours.txt" "$kyhost" sweeptri "npy:$x" "npy:$y" --out "$work/tri.npy"
    runOnce "$work/peer.txt" "$peer" "$x" "$y" "$work/cgal.npy"
  done
  read -r -a ours < <(medians "$work/ours.txt")
  read -r -a theirs < <(medians "$work/peer.txt")
  ourRows=$(rows "$work/tri.npy") peerRows=$(rows "$work/cgal.npy")
  line() {  # name label wall user sys faults peakKB rows
    awk -v n="$1" -v c="$count" -v p="$2" -v w="$3" -v u="$4" -v s="$5" -v f="$6" -v k="$7" -v r="$8" \
      'BEGIN {printf "%-16s %9s %-9s %8.3f %8.3f %8.3f %8d %9.1f %10s\n", n, c, p, w, u, s, f, k * 1024 / c, r}'
  }
  line "$name" sweeptri "${ours[@]}" "$ourRows"
  line "" CGAL "${theirs[@]}" "$peerRows"
  awk -v a="${ours[*]}" -v b="${theirs[*]}" 'BEGIN {
    split(a, x, " "); split(b, y, " ")
    printf "%-16s %9s %-9s", "", "", "ratio"
    for (i = 1; i <= 5; ++i) printf (i == 4 ? " %8.2f" : (i == 5 ? " %9.2f" : " %8.2f")), (y[i] > 0 ? x[i] / y[i] : 0)
    printf "\n"
  }'
done < "$work/sets.txt"
