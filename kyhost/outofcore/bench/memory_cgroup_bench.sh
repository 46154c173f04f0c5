#!/bin/bash
# kyhost triangulate on N uniform points inside a memory cgroup (cgroup v1
# memory controller, no swap), with --workers 2 and 1, then one kyhost
# sweeptri of the same points outside it; each under /usr/bin/time -v with
# the page cache dropped first. Needs root.
#
#   bash kyhost/outofcore/bench/memory_cgroup_bench.sh [BUILD] [N] [LIMIT_BYTES] [DIR]
#
# Defaults: build/release, 100000000 points, 2 GiB, /tmp/kyhost-cgroup-bench.
set -euo pipefail
build=$(realpath "${1:-build/release}")
n=${2:-100000000}
limit=${3:-2147483648}
dir=${4:-/tmp/kyhost-cgroup-bench}
kyhost=$build/bin/kyhost
mkdir -p "$dir"
cd "$dir"
[ -f x.npy ] || /usr/bin/python3 -c "
import numpy as np, sys
n = int(sys.argv[1]); r = np.random.default_rng(1)
np.save('x.npy', r.random(n)); np.save('y.npy', r.random(n))" "$n"
group=/sys/fs/cgroup/memory/kyhost-bench
mkdir -p "$group"
echo "$limit" > "$group/memory.limit_in_bytes"
echo "load average $(cut -d' ' -f1-3 /proc/loadavg)"
for workers in 2 1; do
  sync; echo 3 > /proc/sys/vm/drop_caches
  rm -rf tri.npy tri.npy.scratch tri.npy.partial
  status=0
  bash -c "echo \$\$ > $group/tasks; exec /usr/bin/time -v $kyhost triangulate npy:x.npy npy:y.npy --out tri.npy --memory-limit $limit --workers $workers" \
    > "workers$workers.out" 2> "workers$workers.err" || status=$?
  echo "--workers $workers: exit $status"
  grep -E "rows of|Elapsed|Maximum resident|User time|System time|Minor" "workers$workers.err"
done
sync; echo 3 > /proc/sys/vm/drop_caches
status=0
/usr/bin/time -v "$kyhost" sweeptri npy:x.npy npy:y.npy --out sweep.npy > sweep.out 2> sweep.err || status=$?
echo "one sweep: exit $status"
grep -E "Elapsed|Maximum resident|User time|System time|Minor" sweep.err
rm -f sweep.npy
echo "load average $(cut -d' ' -f1-3 /proc/loadavg)"
