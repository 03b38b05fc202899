#!/usr/bin/env bash
# Shards and grafts on generated trees, in four parts:
#   correct  for home and big and N in 1, 2, 7, 16 (without and with --plan): whether the
#            grafted shards' report is byte for byte the direct scan's, else whether its
#            totals are (hard links that span shards count once, at another of their links)
#   balance  big in N shards without and with --plan: the largest shard's entries (folders
#            and files its scan file holds) against the average
#   speed    big in N = 2, 4, 8 shards run at once by GNU parallel, against one process
#            writing one scan file; warm cache, and cold (the page cache dropped before every
#            run, as root); medians of ROUNDS
#   graft    64 shards of big, and of home, grafted into one file (-o, no report): time and
#            peak resident memory; and the report of the same shards, which holds the tree
# Commands take turns round after round, so that a load that comes and goes falls on all
# of them alike.
#
# Usage: bench/shard-bench.sh [correct|balance|speed|graft]...   (default: all four)
# Environment: PERF_ROOT (default /tmp/perf), WORK (default /tmp/shard-bench), ROUNDS
#              (default 3), BUILD (default build/dev), GEN_TREE.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)
perf_root=${PERF_ROOT:-/tmp/perf}
work=${WORK:-/tmp/shard-bench}
rounds=${ROUNDS:-3}
build=${BUILD:-$repo/build/dev}
gen_tree=${GEN_TREE:-$repo/../shared/tools/gen-tree}
parts=("$@")
[[ ${#parts[@]} -gt 0 ]] || parts=(correct balance speed graft)
case "$work" in "$repo"/*) echo "WORK must lie outside the repository" >&2; exit 2 ;; esac

scripts/ensure-packages parallel time python3
cmake --preset dev >/dev/null
cmake --build --preset dev --target brimwell-report -j2 >/dev/null
report=$build/src/app/brimwell-report
for tree in home big; do
    [[ -f $perf_root/$tree.manifest.json && -d $perf_root/$tree ]] ||
        "$gen_tree" --root "$perf_root" "$tree" >/dev/null
done
mkdir -p "$work"
echo "machine: $(nproc) cores, $(uptime | sed 's/.*load/load/')"

python3 - "$report" "$perf_root" "$work" "$rounds" "${parts[@]}" <<'EOF'
import os, statistics, subprocess, sys, time
report, perf_root, work, rounds = sys.argv[1:5]
rounds, parts = int(rounds), sys.argv[5:]
is_root = os.geteuid() == 0

def run(command, **kwargs):
    return subprocess.run(command, check=True, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          **kwargs).stdout

def tree(name):
    return f"{perf_root}/{name}"

plans = {}
def plan_file(name):  # an earlier scan of the tree, made once per run
    if name not in plans:
        plans[name] = f"{work}/{name}-old.json.gz"
        run([report, "-o", plans[name], tree(name)])
    return plans[name]

def make_shards(name, count, plan, folder):
    os.makedirs(folder, exist_ok=True)
    for old in os.listdir(folder):
        os.remove(f"{folder}/{old}")
    extra = ["--plan", plan_file(name)] if plan else []
    for index in range(count):
        run([report, "--shard", f"{index}/{count}", *extra, "-o", f"{folder}/s-%k.json.gz",
             tree(name)])
    return [f"{folder}/s-{index}.json.gz" for index in range(count)]

def entries(file):  # folders and files, from the first line of the file's report
    first = run([report, "-f", file]).decode(errors="replace").split("\n")[0]
    folders = int(first.split("Folders : ")[1].split(" ")[0])
    files = int(first.split("Files : ")[1].split(" ")[0])
    return folders + files

if "correct" in parts:
    print("\ncorrect: the grafted shards' report (brimwell-report -f s-*) against the direct scan's")
    print(f"{'tree':<6}{'N':>4}  {'without --plan':<38}{'with --plan':<38}")
    for name in ("home", "big"):
        direct = run([report, tree(name)])
        for count in (1, 2, 7, 16):
            cells = []
            for plan in (False, True):
                files = make_shards(name, count, plan, f"{work}/correct")
                grafted = run([report, "-f", *files])
                if grafted == direct:
                    cells.append("byte for byte")
                    continue
                # With hard links across shards: the same bytes in all (counted once), but a
                # link met first under a dot name is not counted as a file.
                ours, theirs = (text.split(b"\n")[0] for text in (grafted, direct))
                size = lambda line: line.split(b"( ")[1].split(b" ")[0]
                files = lambda line: int(line.split(b"Files : ")[1].split(b" ")[0])
                lines = sum(a != b for a, b in zip(grafted.split(b"\n"), direct.split(b"\n")))
                cells.append((f"same total, {lines} lines differ" if size(ours) == size(theirs)
                              else "DIFFERENT TOTAL") +
                             f" ({files(ours) - files(theirs):+d} files)")
            print(f"{name:<6}{count:>4}  {cells[0]:<38}{cells[1]:<38}")

if "balance" in parts:
    print("\nbalance: big, the largest shard's entries against the average (min, max)")
    print(f"{'N':>4}  {'without --plan':<26}{'with --plan':<26}")
    for count in (2, 7, 16):
        cells = []
        for plan in (False, True):
            sizes = [entries(f) for f in make_shards("big", count, plan, f"{work}/balance")]
            average = sum(sizes) / len(sizes)
            cells.append(f"{max(sizes) / average:.3f} ({min(sizes)}, {max(sizes)})")
        print(f"{count:>4}  {cells[0]:<26}{cells[1]:<26}")

def drop_caches():
    subprocess.run(["sync"], check=True)
    with open("/proc/sys/vm/drop_caches", "w") as caches:
        caches.write("3\n")

def seconds(command, cold):
    if cold:
        drop_caches()
    start = time.perf_counter()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.perf_counter() - start

if "speed" in parts:
    plan = plan_file("big")
    out = f"{work}/speed"
    os.makedirs(out, exist_ok=True)
    # Each against one process with the same reader threads: by default (one per processor,
    # more on a cold cache), and one each (-j 1), as a node of a cluster might run a shard.
    commands, bases = {}, {}
    for threads in ("", "-j 1 "):
        base = f"one process {threads}-o"
        commands[base] = [report, *threads.split(), "-o", f"{out}/one.json.gz", tree("big")]
        bases[base] = base
        for count in (2, 4, 8):
            for planned in ((False, True) if not threads else (False,)):
                extra = threads + (f"--plan {plan} " if planned else "")
                label = f"{count} shards {extra.replace(plan + ' ', '')}".strip()
                commands[label] = ["sh", "-c",
                    f"seq 0 {count - 1} | parallel -j {count} {report} --shard {{}}/{count} "
                    f"{extra}-o {out}/s-{{}}.json.gz {tree('big')}"]
                bases[label] = base
    kinds = ["warm"] + (["cold"] if is_root else [])
    times = {(kind, label): [] for kind in kinds for label in commands}
    for command in commands.values():
        seconds(command, False)  # warm-up
    for _ in range(rounds):
        for kind in kinds:
            for label, command in commands.items():
                times[(kind, label)].append(seconds(command, kind == "cold"))
    print(f"\nspeed: big, GNU parallel -j N against one process; median of {rounds} rounds")
    if not is_root:
        print("(cold cache skipped: dropping the page cache needs root)")
    print(f"{'':<24}" + "".join(f"{kind + ' s':>10}{'speed-up':>10}" for kind in kinds))
    for label in commands:
        row = f"{label:<24}"
        for kind in kinds:
            median = statistics.median(times[(kind, label)])
            base = statistics.median(times[(kind, bases[label])])
            row += f"{median:>10.2f}{base / median:>9.2f}x"
        print(row)

def peak(command):  # seconds, KiB
    start = time.perf_counter()
    result = subprocess.run(["/usr/bin/time", "-f", "%M", *command], check=True,
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    return time.perf_counter() - start, int(result.stderr.split()[-1])

if "graft" in parts:
    print("\ngraft: 64 shards into one file (-o, no report), and their report; "
          f"median of {rounds} rounds")
    print(f"{'tree':<6}{'entries':>10}  {'command':<34}{'seconds':>9}{'peak MB':>9}")
    for name in ("home", "big"):
        files = make_shards(name, 64, False, f"{work}/graft-{name}")
        total = sum(entries(f) for f in files)
        for label, command in (
                ("graft -f s-* -o one.json.gz", [report, "-f", *files, "-o",
                                                 f"{work}/graft-{name}.json.gz"]),
                ("report -f s-*", [report, "-f", *files]),
                ("report -f one.json.gz", [report, "-f", f"{work}/graft-{name}.json.gz"])):
            results = [peak(command) for _ in range(rounds)]
            print(f"{name:<6}{total:>10}  {label:<34}"
                  f"{statistics.median(r[0] for r in results):>9.2f}"
                  f"{statistics.median(r[1] for r in results) / 1024:>9.1f}")
EOF
