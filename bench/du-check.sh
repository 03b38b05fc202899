#!/usr/bin/env bash
# Checks brimwell-report's root figures against du and find on one generated tree, for the
# default scan, -l, -a and -x. Run as root, it first mounts a small tmpfs inside the tree so
# that -x has something to leave out (and unmounts it at the end); otherwise -x is compared
# on the tree as it is.
#
# du adds up every entry, folders included; brimwell-report adds up what the folders hold,
# so the folders' own sizes (from find) are taken off du's figure. Without -a, names that
# begin with "." are not entered but their size counts: du leaves them out
# (--exclude='.*') and their sizes are added back, a hard-linked one only when its inode was
# not counted already (a tree's total does not depend on which link the scan meets first).
#
# With --disk-usage (and -a, so that every folder is entered) the root's figure is the space
# on disk, folders' own blocks included: exactly what du -s -B1 counts, with -l and -x too.
#
# Usage: bench/du-check.sh [TREE]   (default home; gen-tree trees under PERF_ROOT)
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)
perf_root=${PERF_ROOT:-/tmp/perf}
tree=${1:-home}
dir=$perf_root/$tree
build=${BUILD:-$repo/build/dev}
report=$build/src/app/brimwell-report

scripts/ensure-packages coreutils findutils python3
cmake --preset dev >/dev/null
cmake --build --preset dev --target brimwell-report -j2 >/dev/null
[[ -d $dir ]] || "$repo/../shared/tools/gen-tree" --root "$perf_root" "$tree" >/dev/null

mount_point=$dir/du-check-mount
if [[ $(id -u) == 0 ]]; then
    mkdir "$mount_point"
    trap 'umount "$mount_point"; rmdir "$mount_point"' EXIT
    mount -t tmpfs -o size=4m du-check "$mount_point"
    mkdir "$mount_point/inner"
    head -c 123457 /dev/zero >"$mount_point/inner/data"
    head -c 999 /dev/zero >"$mount_point/top"
else
    echo "not root: -x is compared without a mount inside the tree"
fi

python3 - "$report" "$dir" <<'EOF'
import subprocess, sys
report, root = sys.argv[1], sys.argv[2]

def lines(command):
    return subprocess.run(command, check=True, capture_output=True, text=True,
                          errors="surrogateescape").stdout.split("\n")[:-1]

def expected(mode):
    same_fs = ["-xdev"] if mode == "-x" else []
    hidden = [] if mode == "-a" else ["-name", ".*", "-prune", "-o"]
    du = ["du", "-s", "--apparent-size", "-B1"]
    du += {"-l": ["-l"], "-x": ["-x"], "-a": []}.get(mode, []) 
    if mode != "-a":
        du.append("--exclude=.*")
    total = int(lines(du + [root])[0].split("\t")[0])
    root_dev = lines(["stat", "-c", "%d", root])[0]
    # Folders: their own sizes leave du's figure; the ones below the root are counted.
    folders = 0
    for line in lines(["find", root] + same_fs + hidden + ["-type", "d", "-printf", "%D %s\n"]):
        dev, size = line.split()
        folders += 1  # a mount point is listed (but not entered) with -x
        if mode != "-x" or dev == root_dev:
            total -= int(size)  # du -x leaves a mount point out altogether
    # Files, each hard-linked inode once unless -l. Where a hidden entry is a link of a
    # counted file, the scan meets one of them first: the file is counted or not.
    seen, files, shared = set(), 0, 0
    for line in lines(["find", root] + same_fs + hidden + ["!", "-type", "d", "-printf", "%D %i %n\n"]):
        dev, ino, links = line.split()
        if mode == "-l" or links == "1" or (dev, ino) not in seen:
            seen.add((dev, ino))
            files += 1
    counted_files = set(seen)
    if mode != "-a":
        for line in lines(["find", root, "-mindepth", "1"] + same_fs +
                          ["-name", ".*", "-prune", "!", "-type", "d", "-printf", "%D %i %n %s\n"]):
            dev, ino, links, size = line.split()
            if mode == "-l" or links == "1" or (dev, ino) not in seen:
                seen.add((dev, ino))
                total += int(size)
            elif (dev, ino) in counted_files:
                shared += 1
    return total, folders - 1, range(files - shared, files + 1)

def reported(mode):
    first = lines([report, "-k"] + (mode.split() if mode else []) + [root])[0]
    kib = first.split("(")[1].split("K")[0].strip()
    folders = int(first.split("Folders :")[1].split(",")[0])
    files = int(first.split("Files :")[1].split(")")[0])
    return float(kib), folders, files

print(f"{'options':8} {'du, find (bytes)':>18} {'expected K':>16} {'brimwell-report -k':>20} "
      f"{'folders':>15} {'files':>17}  result")
failed = False
for mode in ["", "-l", "-x", "-a"]:
    size, folders, files = expected(mode)
    got_kib, got_folders, got_files = reported(mode)
    ok = (abs(got_kib - size / 1024) < 0.006 and got_folders == folders and got_files in files)
    failed |= not ok
    print(f"{mode or 'default':8} {size:>18} {size / 1024:>16.2f} {got_kib:>20.2f} "
          f"{got_folders:>7}/{folders:<7} {got_files:>8}/{files.start}-{files.stop - 1:<8}  {'same' if ok else 'DIFFERENT'}")

# The space on disk: du's own figure, nothing taken off or added.
print(f"{'options':22} {'du -s -B1':>14} {'expected K':>14} {'brimwell-report -k':>20}  result")
for mode in [["-a"], ["-a", "-l"], ["-a", "-x"]]:
    du = ["du", "-s", "-B1"] + [m for m in mode if m != "-a"]
    size = int(lines(du + [root])[0].split("\t")[0])
    got_kib, _, _ = reported("--disk-usage " + " ".join(mode))
    ok = abs(got_kib - size / 1024) < 0.006
    failed |= not ok
    print(f"{'--disk-usage ' + ' '.join(mode):22} {size:>14} {size / 1024:>14.2f} {got_kib:>20.2f}  "
          f"{'same' if ok else 'DIFFERENT'}")
sys.exit(1 if failed else 0)
EOF
