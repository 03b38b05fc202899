#!/usr/bin/env bash
# Times scan files on a generated tree, warm cache: what writing one (brimwell-report -o,
# plain and .gz) adds to a scan, and reading one with brimwell-report -f against
# ncdu -f FILE -o /dev/null, on ncdu's export of the tree and on ours. Commands are run in
# turn, round after round, so that a load that comes and goes falls on all of them alike;
# prints medians and the fastest run, the load, and the peak resident memory per tree item.
#
# Usage: bench/scanfile-bench.sh [TREE]   TREE: a gen-tree tree (default big, 1,000,000 files)
# Environment: PERF_ROOT (default /tmp/perf), WORK (where the exports go; default
#              /tmp/scanfile-bench), ROUNDS (default 11), GEN_TREE, BUILD (default build/dev).
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)

tree=${1:-big}
perf_root=${PERF_ROOT:-/tmp/perf}
work=${WORK:-/tmp/scanfile-bench}
rounds=${ROUNDS:-11}
gen_tree=${GEN_TREE:-$repo/../shared/tools/gen-tree}
build=${BUILD:-$repo/build/dev}
case "$work" in "$repo"/*) echo "WORK must lie outside the repository" >&2; exit 2 ;; esac

scripts/ensure-packages ncdu time python3 findutils
cmake --preset dev >/dev/null
cmake --build --preset dev --target brimwell-report -j2 >/dev/null
report=$build/src/app/brimwell-report
dir=$perf_root/$tree
[[ -f $perf_root/$tree.manifest.json && -d $dir ]] || "$gen_tree" --root "$perf_root" "$tree" >/dev/null
mkdir -p "$work" "$work/empty"

# The exports: ncdu's (made once) and ours; and those of an empty folder, for the baseline.
[[ -s $work/$tree.ncdu.json ]] || ncdu --ignore-config -0 -o "$work/$tree.ncdu.json" "$dir"
"$report" -o "$work/$tree.ours.json" "$dir"
ncdu --ignore-config -0 -o "$work/empty.json" "$work/empty"
items=$(( 2 * $(find "$dir" -mindepth 1 -name '.*' -prune -o -type d -print | wc -l) + 2 ))
entries=$(grep -c '"name"' "$work/$tree.ncdu.json")

python3 - "$rounds" "$items" "$entries" "$tree" "$report" "$dir" "$work" <<'EOF'
import os, statistics, subprocess, sys, time
rounds, items, entries, tree, report, folder, work = sys.argv[1:]
rounds, items, entries = int(rounds), int(items), int(entries)
ncdu_file, ours_file = f"{work}/{tree}.ncdu.json", f"{work}/{tree}.ours.json"
groups = {
    "write": [
        ("scan", [report, folder]),
        ("scan -o FILE", [report, "-o", f"{work}/out.json", folder]),
        ("scan -o FILE.gz", [report, "-o", f"{work}/out.json.gz", folder]),
    ],
    "read": [
        ("ncdu -f ncdu's -o /dev/null", ["ncdu", "-f", ncdu_file, "-o", "/dev/null"]),
        ("brimwell-report -f ncdu's", [report, "-f", ncdu_file]),
        ("ncdu -f ours -o /dev/null", ["ncdu", "-f", ours_file, "-o", "/dev/null"]),
        ("brimwell-report -f ours", [report, "-f", ours_file]),
    ],
}
def run(command):
    start = time.perf_counter()
    subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
    return time.perf_counter() - start
def peak(command):  # KiB
    out = subprocess.run(["/usr/bin/time", "-f", "%M"] + command, stdout=subprocess.DEVNULL,
                         stderr=subprocess.PIPE, text=True, check=True).stderr
    return int(out.split()[-1])
print(f"machine: {os.cpu_count()} cores; tree {tree}: {entries} entries in the export, "
      f"{items} tree items")
for name, commands in groups.items():
    for _, command in commands:
        run(command)  # warm-up
    times = {label: [] for label, _ in commands}
    loads = []
    for _ in range(rounds):
        loads.append(os.getloadavg()[0])
        for label, command in commands:
            times[label].append(run(command))
    base = statistics.median(times[commands[0][0]])
    print(f"\n{name}: {rounds} rounds, load {min(loads):.2f} to {max(loads):.2f} "
          f"(median {statistics.median(loads):.2f})")
    print(f"{'command':<34}{'median s':>10}{'fastest s':>11}{'x first':>9}{'peak MB':>9}{'B/item':>8}")
    for label, command in commands:
        median = statistics.median(times[label])
        empty = [c if c not in (folder, ncdu_file, ours_file) else
                 (f"{work}/empty.json" if c.endswith(".json") else f"{work}/empty") for c in command]
        rss, base_rss = peak(command), peak(empty)
        print(f"{label:<34}{median:>10.3f}{min(times[label]):>11.3f}{median / base:>9.2f}"
              f"{rss / 1024:>9.1f}{max(rss - base_rss, 0) * 1024 / items:>8.0f}")
print("\nx first: median against the group's first command; B/item: peak resident memory above "
      "the same command's on an empty folder or export, per tree item (each folder the scan "
      "enters and its FILES entry)")
EOF
