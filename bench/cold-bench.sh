#!/usr/bin/env bash
# Cold and warm cache, side by side: brimwell-report by default and with fixed reader
# counts, against the floor walk, du, ncdu and gdu on the same tree. Cold runs drop the
# page cache before every run (this needs root) and are noisy, so the programs take turns
# round after round and the medians are printed.
#
# Usage: bench/cold-bench.sh [TREE...]   (default: home; trees as in report-bench.sh)
# Environment: PERF_ROOT (default /tmp/perf), ROUNDS (default 5), BUILD (default build/dev).
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)
perf_root=${PERF_ROOT:-/tmp/perf}
rounds=${ROUNDS:-5}
build=${BUILD:-$repo/build/dev}
trees=("$@")
[[ ${#trees[@]} -gt 0 ]] || trees=(home)

if [[ $(id -u) -ne 0 ]]; then
    echo "cold-bench: dropping the page cache needs root; run it as root (skipped)" >&2
    exit 0
fi
scripts/ensure-packages ncdu gdu coreutils python3 >/dev/null
cmake --preset dev >/dev/null
cmake --build --preset dev --target brimwell-report floor -j2 >/dev/null
report=$build/src/app/brimwell-report
floor=$build/bench/floor

drop() { sync; echo 3 >/proc/sys/vm/drop_caches; }
seconds() {  # runs a command, prints its wall time
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1 || true
    end=$(date +%s%N)
    awk -v ns=$((end - start)) 'BEGIN { printf "%.3f\n", ns / 1e9 }'
}

echo "machine: $(nproc) cores, $(uptime | sed 's/.*load/load/')"
for tree in "${trees[@]}"; do
    dir=$perf_root/$tree
    [[ -d $dir ]] || { echo "cold-bench: $dir is missing (see report-bench.sh)" >&2; exit 2; }
    names=("floor" "brimwell-report" "brimwell-report -j 2" "brimwell-report -j 8"
           "brimwell-report -j 16" "du -s" "ncdu" "gdu")
    commands=("$floor $dir" "$report $dir" "$report -j 2 $dir" "$report -j 8 $dir"
              "$report -j 16 $dir" "du -s $dir" "ncdu -0 -o /dev/null $dir" "gdu -n -p $dir")
    results=$(mktemp)
    for ((round = 1; round <= rounds; round++)); do
        for i in "${!names[@]}"; do
            # shellcheck disable=SC2086
            drop && echo "cold $i $(seconds ${commands[$i]})" >>"$results"
            # shellcheck disable=SC2086
            echo "warm $i $(seconds ${commands[$i]})" >>"$results"
        done
    done
    python3 - "$results" "$tree" "$rounds" "${names[@]}" <<'EOF'
import collections, os, statistics, sys
path, tree, rounds = sys.argv[1], sys.argv[2], sys.argv[3]
names = sys.argv[4:]
times = collections.defaultdict(list)
for line in open(path):
    kind, i, value = line.split()
    times[(kind, int(i))].append(float(value))
cold0 = statistics.median(times[("cold", 0)])
warm0 = statistics.median(times[("warm", 0)])
print(f"\n{tree}: medians of {rounds} rounds (load {os.getloadavg()[0]:.2f})")
print(f"{'program':<24}{'cold s':>9}{'x floor':>9}{'warm s':>9}{'x floor':>9}")
for i, name in enumerate(names):
    cold, warm = statistics.median(times[("cold", i)]), statistics.median(times[("warm", i)])
    print(f"{name:<24}{cold:>9.3f}{cold / cold0:>9.2f}{warm:>9.3f}{warm / warm0:>9.2f}")
print("x floor: against the floor walk on one thread, cold against cold, warm against warm")
EOF
    rm -f "$results"
done
