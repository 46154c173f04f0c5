#!/bin/bash
# One kyhost triangulate of N uniform points inside a memory cgroup (cgroup
# v1 memory controller, no swap), then kyhost check of its output with
# --memory-limit CHECK_LIMIT outside it (the check reads the coordinates of
# every row at random and needs them in the page cache), each under
# /usr/bin/time -v with the page cache dropped first; the cgroup's peak
# usage, the files' sizes and the free disk. For sizes one sweep cannot
# hold (10^9: about 58 GB of disk). Needs root.
#
#   bash kyhost/outofcore/bench/cgroup_run_and_check.sh [BUILD] [N] [LIMIT_BYTES] [DIR] [WORKERS] [CHECK_LIMIT]
#
# Defaults: build/release, 1000000000 points, 2 GiB, /tmp/kyhost-cgroup-run, 2,
# 2G (the tiler's rows are checked in one pass; the limit bounds the edges
# waiting for their second row, about 8 million at 10^9).
set -euo pipefail
build=$(realpath "${1:-build/release}")
n=${2:-1000000000}
limit=${3:-2147483648}
dir=${4:-/tmp/kyhost-cgroup-run}
workers=${5:-2}
check_limit=${6:-2G}
kyhost=$build/bin/kyhost
mkdir -p "$dir"
cd "$dir"
# Written in slices, so that making the input needs little memory either.
[ -f x.npy ] || /usr/bin/python3 -c "
import numpy as np, sys
n = int(sys.argv[1]); r = np.random.default_rng(1); chunk = 10**7
for name in ('x.npy', 'y.npy'):
    a = np.lib.format.open_memmap(name, mode='w+', dtype=np.float64, shape=(n,))
    for s in range(0, n, chunk):
        a[s:s + chunk] = r.random(min(chunk, n - s))
    a.flush()
    del a" "$n"
group=/sys/fs/cgroup/memory/kyhost-run
mkdir -p "$group"
echo "$limit" > "$group/memory.limit_in_bytes"
inside() { bash -c "echo \$\$ > $group/tasks; exec /usr/bin/time -v $*"; }
echo "load average $(cut -d' ' -f1-3 /proc/loadavg)"
rm -rf tri.npy tri.npy.partial tri.npy.scratch
echo 0 > "$group/memory.max_usage_in_bytes"
sync; echo 3 > /proc/sys/vm/drop_caches
status=0
inside "$kyhost" triangulate npy:x.npy npy:y.npy --out tri.npy --index int32 --base 0 --memory-limit "$limit" \
  --workers "$workers" --progress-seconds 30 > triangulate.out 2> triangulate.err || status=$?
echo "triangulate: exit $status, cgroup peak $(cat "$group/memory.max_usage_in_bytes") bytes"
grep -E "rows of|Elapsed|Maximum resident|User time|System time|Minor" triangulate.err
ls -l x.npy y.npy tri.npy
df -h . | tail -1
[ "$status" = 0 ] || exit "$status"
sync; echo 3 > /proc/sys/vm/drop_caches
status=0
/usr/bin/time -v "$kyhost" check npy:x.npy npy:y.npy npy:tri.npy --base 0 --memory-limit "$check_limit" > check.out 2> check.err || status=$?
echo "check: exit $status"
tail -3 check.out
grep -E "Elapsed|Maximum resident|User time|System time" check.err
echo "load average $(cut -d' ' -f1-3 /proc/loadavg)"
exit "$status"
