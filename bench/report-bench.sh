#!/usr/bin/env bash
# Times brimwell-report against the floor walk (1 and 2 threads), du, ncdu and gdu on
# generated trees, warm cache, one hyperfine run per tree; prints medians, ratios to the
# single-threaded floor, and peak resident memory per tool.
#
# Usage: bench/report-bench.sh [TREE...]     (default: home wide deep; "big" when asked)
# Environment: PERF_ROOT (default /tmp/perf), RUNS (default 10), WARMUP (default 2),
#              GEN_TREE (default ../shared/tools/gen-tree), BUILD (default build/dev).
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)

perf_root=${PERF_ROOT:-/tmp/perf}
runs=${RUNS:-10}
warmup=${WARMUP:-2}
gen_tree=${GEN_TREE:-$repo/../shared/tools/gen-tree}
build=${BUILD:-$repo/build/dev}
trees=("$@")
[[ ${#trees[@]} -gt 0 ]] || trees=(home wide deep)

case "$perf_root" in
    "$repo"/*) echo "PERF_ROOT must lie outside the repository" >&2; exit 2 ;;
esac

scripts/ensure-packages hyperfine ncdu gdu time coreutils python3
cmake --preset dev >/dev/null
cmake --build --preset dev --target brimwell-report floor -j2 >/dev/null

report=$build/src/app/brimwell-report
floor=$build/bench/floor
cores=$(nproc)
mkdir -p "$perf_root"
results=$(mktemp -d)
trap 'rm -rf "$results"' EXIT

echo "machine: $cores cores, $(uptime | sed 's/.*load/load/')"
for tree in "${trees[@]}"; do
    dir=$perf_root/$tree
    if [[ ! -f $perf_root/$tree.manifest.json || ! -d $dir ]]; then
        echo "generating $tree in $perf_root ..." >&2
        "$gen_tree" --root "$perf_root" "$tree" >/dev/null
    fi
    # floor -s walks what Brimwell walks (no folders whose name begins with ".").
    names=(floor "floor -t 2" "floor -s" "brimwell-report -j 1" "brimwell-report -j $cores"
           "brimwell-report" "du -s" ncdu gdu)
    commands=("$floor $dir" "$floor -t 2 $dir" "$floor -s $dir" "$report -j 1 $dir"
              "$report -j $cores $dir" "$report $dir" "du -s $dir" "ncdu -0 -o /dev/null $dir"
              "gdu -n -p $dir")
    args=()
    for i in "${!names[@]}"; do
        args+=(-n "${names[$i]}" "${commands[$i]}")
    done
    echo "== $tree ($(uptime | sed 's/.*load/load/'))" >&2
    hyperfine -N --style basic --warmup "$warmup" --runs "$runs" \
        --export-json "$results/$tree.json" "${args[@]}" >&2
    # Peak RSS on the tree and on an empty folder: the difference is what the tree costs.
    mkdir -p "$perf_root/empty"
    for i in "${!names[@]}"; do
        # shellcheck disable=SC2086
        /usr/bin/time -f '%M' -o "$results/$tree.rss.$i" ${commands[$i]} >/dev/null 2>&1 || true
        # shellcheck disable=SC2086
        /usr/bin/time -f '%M' -o "$results/$tree.base.$i" ${commands[$i]/$dir/$perf_root/empty} \
            >/dev/null 2>&1 || true
    done
    python3 - "$results" "$tree" "$perf_root/$tree.manifest.json" "${names[@]}" <<'EOF'
import json, os, sys
results, tree, manifest = sys.argv[1:4]
names = sys.argv[4:]
runs = json.load(open(os.path.join(results, tree + ".json")))["results"]
m = json.load(open(manifest))
items = m["dirs"] + m["files"]
floor = runs[0]["median"]
print(f"\n{tree}: {m['dirs']} folders, {m['files']} files (load {os.getloadavg()[0]:.2f})")
def kb(kind, i):
    with open(os.path.join(results, f"{tree}.{kind}.{i}")) as f:
        return int(f.read().split()[-1])
print(f"{'tool':<24}{'median s':>10}{'x floor':>9}{'x floor2':>10}{'peak RSS MB':>13}"
      f"{'B/item':>9}")
for i, (name, run) in enumerate(zip(names, runs)):
    rss, base = kb("rss", i), kb("base", i)
    print(f"{name:<24}{run['median']:>10.3f}{run['median'] / floor:>9.2f}"
          f"{run['median'] / runs[1]['median']:>10.2f}{rss / 1024:>13.1f}"
          f"{max(rss - base, 0) * 1024 / items:>9.1f}")
print("x floor2: against floor -t 2; B/item: peak RSS above the same tool's on an empty "
      "folder, per file or folder")
EOF
done
