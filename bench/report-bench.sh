#!/usr/bin/env bash
# Times brimwell-report against the floor walk (1 and 2 threads), du, ncdu and gdu on
# generated trees, warm cache, one hyperfine run per tree; prints medians, ratios to the
# single-threaded floor, and peak resident memory per tool and per tree item.
#
# Usage: bench/report-bench.sh [TREE...]
#   TREE: home wide deep big (../shared/tools/gen-tree), flat300k chain100k
#   (bench/make-hostile-trees); default: home wide deep.
# Environment: PERF_ROOT (default /tmp/perf), RUNS (default 10), WARMUP (default 2),
#              GEN_TREE (default ../shared/tools/gen-tree), BUILD (default build/dev),
#              TIMEOUT (seconds a tool may take on one tree; default 300).
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)

perf_root=${PERF_ROOT:-/tmp/perf}
runs=${RUNS:-10}
warmup=${WARMUP:-2}
limit=${TIMEOUT:-300}
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
mkdir -p "$perf_root" "$perf_root/empty"
results=$(mktemp -d)
trap 'rm -rf "$results"' EXIT

echo "machine: $cores cores, $(uptime | sed 's/.*load/load/')"
for tree in "${trees[@]}"; do
    dir=$perf_root/$tree
    case $tree in
        flat300k | chain100k) bench/make-hostile-trees "$perf_root" "$tree" ;;
        *) [[ -f $perf_root/$tree.manifest.json && -d $dir ]] ||
            "$gen_tree" --root "$perf_root" "$tree" >/dev/null ;;
    esac
    # The tree's items as Brimwell shows them: every folder it enters and its FILES entry
    # (the report's first line counts the folders below the root).
    if [[ ! -f $perf_root/$tree.items ]]; then
        # sed reads the whole report: head would end the pipe early and fail the script.
        folders=$("$report" -j 1 "$dir" | sed -n '1s/.*Folders : \([0-9]*\).*/\1/p')
        echo $(( 2 * (folders + 1) )) >"$perf_root/$tree.items"
    fi
    # floor -s walks what Brimwell walks (no folders whose name begins with ".").
    names=(floor "floor -t 2" "floor -s" "brimwell-report -j 1" "brimwell-report -j $cores"
           "brimwell-report" "du -s" ncdu gdu)
    commands=("$floor $dir" "$floor -t 2 $dir" "$floor -s $dir" "$report -j 1 $dir"
              "$report -j $cores $dir" "$report $dir" "du -s $dir" "ncdu -0 -o /dev/null $dir"
              "gdu -n -p $dir")
    args=()
    for i in "${!names[@]}"; do
        args+=(-n "${names[$i]}" "timeout $limit ${commands[$i]}")
    done
    echo "== $tree ($(uptime | sed 's/.*load/load/'))" >&2
    hyperfine -N -i --style basic --warmup "$warmup" --runs "$runs" \
        --export-json "$results/$tree.json" "${args[@]}" >&2
    # Peak RSS on the tree and on an empty folder: the difference is what the tree costs.
    for i in "${!names[@]}"; do
        # shellcheck disable=SC2086
        /usr/bin/time -f '%M %x' -o "$results/$tree.rss.$i" timeout "$limit" ${commands[$i]} \
            >/dev/null 2>&1 || true
        # shellcheck disable=SC2086
        /usr/bin/time -f '%M %x' -o "$results/$tree.base.$i" ${commands[$i]/$dir/$perf_root/empty} \
            >/dev/null 2>&1 || true
    done
    python3 - "$results" "$tree" "$(cat "$perf_root/$tree.items")" "${names[@]}" <<'EOF'
import json, os, sys
results, tree, items = sys.argv[1], sys.argv[2], int(sys.argv[3])
names = sys.argv[4:]
runs = json.load(open(os.path.join(results, tree + ".json")))["results"]
floor = runs[0]["median"]
print(f"\n{tree}: {items} tree items (load {os.getloadavg()[0]:.2f})")
def peak(kind, i):
    with open(os.path.join(results, f"{tree}.{kind}.{i}")) as f:
        words = f.read().split()
        return int(words[-2]), int(words[-1])  # KiB, exit status
print(f"{'tool':<24}{'median s':>10}{'x floor':>9}{'x floor2':>10}{'peak RSS MB':>13}"
      f"{'B/item':>9}  exit")
for i, (name, run) in enumerate(zip(names, runs)):
    (rss, status), (base, _) = peak("rss", i), peak("base", i)
    print(f"{name:<24}{run['median']:>10.3f}{run['median'] / floor:>9.2f}"
          f"{run['median'] / runs[1]['median']:>10.2f}{rss / 1024:>13.1f}"
          f"{max(rss - base, 0) * 1024 / items:>9.1f}  {status}")
print("x floor2: against floor -t 2; B/item: peak RSS above the same tool's on an empty "
      "folder, per tree item (each folder Brimwell enters and its FILES entry); exit: the "
      "tool's exit status (124: stopped after TIMEOUT)")
EOF
done
