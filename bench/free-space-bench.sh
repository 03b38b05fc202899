#!/usr/bin/env bash
# Times the window's commands for freeing space, warm cache, ROUNDS times each:
#   - Move to Trash of a folder of 100,000 files on the same file system as the trash: how
#     long the window takes to answer after the question, and whether the tree then has the
#     figures of a fresh scan;
#   - Refresh Selected of the folder of gen-tree big whose entries (files and folders below
#     it) come closest to 10,000, against brimwell-report on that folder alone (run right
#     after each refresh, so that both meet the same load), and whether the root then has
#     the figures of a fresh scan;
#   - Largest Files on gen-tree home (300,000 files below the root): time until the list
#     shows, and the resident memory the search added.
#
# Usage: bench/free-space-bench.sh [ROUNDS]   (default 3)
# Environment: PERF_ROOT (gen-tree trees, default /tmp/perf; read only), WORK (where the
#              folders to move to the trash are made, default /tmp/free-space-bench).
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)
rounds=${1:-3}
perf_root=${PERF_ROOT:-/tmp/perf}
work=${WORK:-/tmp/free-space-bench}
build=${BUILD:-$repo/build/dev}
bench=$build/bench/brimwell_free_space_bench
report=$build/src/app/brimwell-report
gen_tree=${GEN_TREE:-$repo/../shared/tools/gen-tree}

scripts/ensure-packages hyperfine python3
cmake --preset dev >/dev/null
cmake --build --preset dev --target brimwell_free_space_bench brimwell-report -j2 >/dev/null
for tree in home big; do
    [[ -f $perf_root/$tree.manifest.json && -d $perf_root/$tree ]] ||
        "$gen_tree" --root "$perf_root" "$tree" >/dev/null
done
echo "machine: $(nproc) cores, $(uptime | sed 's/.*load/load/')"

echo "== Move to Trash of a folder of 100,000 files"
mkdir -p "$work"
for round in $(seq "$rounds"); do
    rm -rf "$work/root" "$work/data"
    python3 - "$work/root" <<'EOF'
import os, sys
root = sys.argv[1]
os.makedirs(root + "/hundredk")
fd = os.open(root + "/hundredk", os.O_RDONLY | os.O_DIRECTORY)
for i in range(100000):
    os.close(os.open(f"f{i:06d}", os.O_WRONLY | os.O_CREAT, 0o644, dir_fd=fd))
os.close(fd)
for name in ("beside", "other"):
    os.makedirs(f"{root}/{name}/inner")
    with open(f"{root}/{name}/inner/data", "wb") as f:
        f.write(b"x" * 100000)
EOF
    "$bench" --trash "$work/root" "$work/root/hundredk" "$work/data"
done
rm -rf "$work"

echo "== Refresh Selected in gen-tree big"
folder=$(python3 - "$perf_root/big" <<'EOF'
import os, sys
root = sys.argv[1]
best, best_gap = None, None
for top in sorted(os.listdir(root)):
    for dirpath, dirnames, filenames in os.walk(os.path.join(root, top)):
        depth = dirpath[len(root):].count("/")
        if depth > 3:
            dirnames[:] = []
            continue
        entries = sum(len(d) + len(f) for _, d, f in os.walk(dirpath))
        if best_gap is None or abs(entries - 10000) < best_gap:
            best, best_gap = (dirpath, entries), abs(entries - 10000)
        if entries < 10000:
            dirnames[:] = []
print(f"{best[0]}\t{best[1]}")
EOF
)
entries=${folder#*$'\t'}
folder=${folder%$'\t'*}
echo "folder: $folder ($entries entries below it)"
"$bench" --refresh "$perf_root/big" "$folder" "$report" $((rounds * 5))

echo "== Largest Files on gen-tree home ($(find "$perf_root/home" -type f | wc -l) files)"
for round in $(seq "$rounds"); do
    "$bench" --largest "$perf_root/home"
done
