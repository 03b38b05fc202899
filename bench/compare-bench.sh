#!/usr/bin/env bash
# Comparing two scans of gen-tree big, against reading them, in the same run.
# Usage: bench/compare-bench.sh [ROUNDS]   (default 3; the medians are printed)
# Generates /tmp/perf/big with ../shared/tools/gen-tree when it is missing (and never
# otherwise: other benchmarks share it), scans it into big-1.json.gz, and writes
# big-2.json.gz from it with known changes: a new folder of 2,000 files, one file grown by
# 500 MiB, 5,000 files gone. Then times, with /usr/bin/time (seconds, peak RSS in KiB):
#   brimwell-report -f big-1 and -f big-2 (the sum is what "reading both" costs),
#   brimwell-report --compare big-1 -f big-2,
#   brimwell-report on the tree, and --compare big-1 on the tree,
# and the window (bench/gui_compare.cpp): opening both files, and opening big-2 then
# comparing it with big-1 with Sort By Change on, with its longest UI gaps.
# BENCH_WORK names the folder for the scan files (default /tmp/perf-compare).
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)
rounds="${1:-3}"
root=/tmp/perf
work="${BENCH_WORK:-/tmp/perf-compare}"  # the scan files written here
mkdir -p "$work"
cmake --preset dev >/dev/null
cmake --build --preset dev --target brimwell-report brimwell_gui_compare_bench >/dev/null
report=build/dev/src/app/brimwell-report
gui=build/dev/bench/brimwell_gui_compare_bench
[[ -d "$root/big" ]] || python3 "${GEN_TREE:-$repo/../shared/tools/gen-tree}" --root "$root" big

"$report" -o "$work/big-1.json.gz" "$root/big"
python3 - "$work/big-1.json.gz" "$work/big-2.json.gz" <<'PY'
import gzip, re, sys
src, dst = sys.argv[1:3]
files = 0
with gzip.open(src, "rt", encoding="utf-8", errors="surrogateescape") as inp, \
     gzip.open(dst, "wt", encoding="utf-8", errors="surrogateescape", compresslevel=1) as out:
    for n, line in enumerate(inp):
        if n == 1:  # the top folder: a new sub-folder right after it
            out.write(line)
            out.write('[{"name":"zz-new-folder"}' +
                      "".join(',\n{"name":"n%d","asize":4096}' % i for i in range(2000)) + "],\n")
            continue
        if line.startswith('{"name":') and '"asize"' in line and "hlnkc" not in line:
            files += 1
            if files == 1000:
                line = re.sub(r'"asize":(\d+)', lambda m: '"asize":%d' % (int(m.group(1)) + 500 * 2**20), line)
            elif 20000 <= files < 25000 and line.rstrip().endswith("},"):
                continue  # a file gone (one that is not the last of its folder)
        out.write(line)
PY

measure() {  # prints "seconds peak-KiB" of the command
    /usr/bin/time -f "%e %M" "$@" 2>&1 >/dev/null | tail -1
}
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

declare -A secs kib
run() {  # name, command...
    local name=$1; shift
    local s=() k=()
    for ((i = 1; i <= rounds; i++)); do
        read -r t m < <(measure "$@")
        s+=("$t") k+=("$m")
    done
    secs[$name]=$(printf '%s\n' "${s[@]}" | median)
    kib[$name]=$(printf '%s\n' "${k[@]}" | median)
    printf '%-34s %8s s %9s KiB\n' "$name" "${secs[$name]}" "${kib[$name]}"
}
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
"$report" "$root/big" >/dev/null  # warm the page cache
run "-f big-1" "$report" -f "$work/big-1.json.gz"
run "-f big-2" "$report" -f "$work/big-2.json.gz"
run "--compare big-1 -f big-2" "$report" --compare "$work/big-1.json.gz" -f "$work/big-2.json.gz"
run "scan big" "$report" "$root/big"
run "--compare big-1 big (live)" "$report" --compare "$work/big-1.json.gz" "$root/big"
awk -v a="${secs[-f big-1]}" -v b="${secs[-f big-2]}" -v c="${secs[--compare big-1 -f big-2]}" \
    -v ma="${kib[-f big-1]}" -v mb="${kib[-f big-2]}" -v mc="${kib[--compare big-1 -f big-2]}" \
    -v s="${secs[scan big]}" -v l="${secs[--compare big-1 big (live)]}" 'BEGIN {
    printf "compare of two files: %.2fx the time of reading both, %.2fx their summed peak memory (%.2fx the larger)\n", c / (a + b), mc / (ma + mb), mc / (ma > mb ? ma : mb)
    printf "live compare: +%.0f%% over the scan alone\n", (l / s - 1) * 100 }'
"$report" --compare "$work/big-1.json.gz" -f "$work/big-2.json.gz" | head -12

export QT_QPA_PLATFORM=offscreen
echo "window: seconds, longest gap ms, peak KiB"
echo "open both files:   $("$gui" --open "$work/big-2.json.gz" "$work/big-1.json.gz" 2>/dev/null)"
"$gui" --compare "$work/big-2.json.gz" "$work/big-1.json.gz" 2>/dev/null | sed 's/^/compare: /'
