#!/bin/bash
# Times `kyhost sweeptri npy:X npy:Y --out tri.npy` against the CGAL peer
# program on the same .npy files, as whole processes, and prints for each
# point set the median wall time of each, their ratio, and the median peak
# resident memory per point of each.
#
# Usage: sweeptri/bench/whole_process.sh [BUILD_DIR [REPEATS [SET ...]]]
#   BUILD_DIR  a build with -DKY_BUILD_BENCHMARKS=ON (default build/release)
#   REPEATS    runs per program and set (default 5)
#   SET        point sets of make_inputs.py (default: all of them)
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

# Median seconds and median peak KB of REPEATS runs of a command.
measure() {
  local times=() sizes=() line
  for ((r = 0; r < repeats; ++r)); do
    if ! /usr/bin/time -f "%e %M" "$@" > /dev/null 2> "$work/stderr"; then
      echo "failed: $*" >&2; cat "$work/stderr" >&2; exit 1
    fi
    line=$(tail -n 1 "$work/stderr")
    times+=("${line% *}"); sizes+=("${line#* }")
  done
  printf '%s\n' "${times[@]}" | sort -g | awk '{v[NR]=$1} END {printf "%s ", v[int((NR+1)/2)]}'
  printf '%s\n' "${sizes[@]}" | sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'
}

rows() { /usr/bin/python3 -c "import numpy, sys; print(numpy.load(sys.argv[1]).shape[0])" "$1"; }

printf '%-16s %8s %10s %10s %7s %12s %12s %9s %9s\n' set points "sweeptri s" "CGAL s" ratio "sweeptri B/p" "CGAL B/p" rows "CGAL rows"
while read -r name count _; do
  name=${name%:}
  x=$work/$name.x.npy y=$work/$name.y.npy
  read -r ours oursKb < <(measure "$kyhost" sweeptri "npy:$x" "npy:$y" --out "$work/tri.npy")
  read -r cgal cgalKb < <(measure "$peer" "$x" "$y" "$work/cgal.npy")
  awk -v n="$name" -v c="$count" -v a="$ours" -v b="$cgal" -v ak="$oursKb" -v bk="$cgalKb" \
      -v r="$(rows "$work/tri.npy")" -v rc="$(rows "$work/cgal.npy")" \
      'BEGIN {printf "%-16s %8d %10.3f %10.3f %7.2f %12.1f %12.1f %9d %9d\n", n, c, a, b, (b > 0 ? a / b : 0), ak * 1024 / c, bk * 1024 / c, r, rc}'
done < "$work/sets.txt"
