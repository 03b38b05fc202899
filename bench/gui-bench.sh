#!/usr/bin/env bash
# The window's scan against brimwell-report on the same generated tree, in the same run.
# Usage: bench/gui-bench.sh [ROUNDS] [TREE]   (defaults: 5 rounds, tree "home")
# Generates the tree with ../shared/tools/gen-tree under /tmp/perf when it is missing (the
# hostile trees flat100k, flat300k, chain100k with bench/make-hostile-trees), warms
# the page cache with one untimed scan, then alternates the two programs. Prints every
# round and the medians: time to the closing status text against brimwell-report's whole
# run, the longest gap between 10 ms timer ticks on the user-interface thread, peak RSS, the
# memory per tree item and the user-interface thread's processor time. The load average is
# printed first: the machine may be shared.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)
rounds="${1:-5}"
tree="${2:-home}"
root=/tmp/perf
gen_tree="${GEN_TREE:-$repo/../shared/tools/gen-tree}"

cmake --preset dev >/dev/null
cmake --build --preset dev --target brimwell_gui_bench brimwell-report >/dev/null
gui=build/dev/bench/brimwell_gui_bench
report=build/dev/src/app/brimwell-report

if [[ ! -d "$root/$tree" ]]; then
    case "$tree" in
        flat100k | flat300k | chain100k) bench/make-hostile-trees "$root" "$tree" ;;
        *) python3 "$gen_tree" --root "$root" "$tree" ;;
    esac
fi
folder="$root/$tree"
export QT_QPA_PLATFORM=offscreen

"$report" "$folder" >/dev/null  # warm the page cache
"$gui" --verify "$folder" 2>/dev/null | tail -1

gui_times=() gaps=() report_times=() line=""
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "round  window-s  gap-ms  items  peak-KiB  KiB/item  ui-cpu-ms  report-s"
for ((i = 1; i <= rounds; i++)); do
    line=$("$gui" "$folder" 2>/dev/null)
    read -r seconds gap items peak per_item ui_cpu <<<"$line"
    start=$(date +%s%N)
    "$report" "$folder" >/dev/null
    end=$(date +%s%N)
    report_seconds=$(awk -v ns=$((end - start)) 'BEGIN { printf "%.3f", ns / 1e9 }')
    printf "%5d  %8s  %6s  %5s  %8s  %8s  %9s  %8s\n" "$i" "$seconds" "$gap" "$items" "$peak" \
        "$per_item" "$ui_cpu" "$report_seconds"
    gui_times+=("$seconds") gaps+=("$gap") report_times+=("$report_seconds")
done

median() { printf "%s\n" "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
gui_median=$(median "${gui_times[@]}")
report_median=$(median "${report_times[@]}")
max_gap=$(printf "%s\n" "${gaps[@]}" | sort -g | tail -1)
echo "median window scan ${gui_median} s, median brimwell-report ${report_median} s," \
    "ratio $(awk -v a="$gui_median" -v b="$report_median" 'BEGIN { printf "%.2f", a / b }')" \
    "(target <= 1.2, 1.5 for a folder of 100,000 sub-folders); longest UI gap ${max_gap} ms" \
    "(target <= 50)"
