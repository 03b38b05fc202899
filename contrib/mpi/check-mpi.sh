#!/usr/bin/env bash
# Runs the MPI recipe of the README on this machine with Debian's openmpi-bin: mpirun starts
# SHARDS processes of brimwell-report --shard auto, each takes its shard from Open MPI's
# rank and size, and the grafted shards must report byte for byte as a direct scan of the
# tree. mpirun only starts the processes: brimwell-report links no MPI library. Not part of
# ./test: openmpi-bin is a large package, and mpirun wants more slots than a small machine
# has (--oversubscribe) and refuses root unless told (--allow-run-as-root).
#
# Usage: contrib/mpi/check-mpi.sh [SHARDS]   (default 16)
# Environment: WORK (default /tmp/brimwell-mpi-check), TREE (default: a gen-tree big at
#              SCALE, default 0.1), GEN_TREE, BUILD (default build/dev).
set -euo pipefail
cd "$(dirname "$0")/../.."
repo=$(pwd)
shards=${1:-16}
work=${WORK:-/tmp/brimwell-mpi-check}
build=${BUILD:-$repo/build/dev}
gen_tree=${GEN_TREE:-$repo/../shared/tools/gen-tree}

scripts/ensure-packages openmpi-bin python3
cmake --preset dev >/dev/null
cmake --build --preset dev --target brimwell-report -j2 >/dev/null
export PATH=$build/src/app:$PATH
rm -rf "$work"
mkdir -p "$work/out"
tree=${TREE:-}
if [[ -z $tree ]]; then
    "$gen_tree" --root "$work" --scale "${SCALE:-0.1}" big >/dev/null
    tree=$work/big
fi
cd "$work/out"
root=()
[[ $(id -u) -ne 0 ]] || root=(--allow-run-as-root)
echo "$(mpirun --version | head -1), $(nproc) cores; tree $tree"

# The recipe, with the slots a small machine lacks.
mpirun "${root[@]}" --oversubscribe -np "$shards" \
    brimwell-report --shard auto -o shard-%k.json.gz "$tree"
brimwell-report -f shard-*.json.gz >grafted.txt
brimwell-report "$tree" >direct.txt
echo "$(ls shard-*.json.gz | wc -l) shard files from $shards ranks"
if cmp -s direct.txt grafted.txt; then
    echo "the graft's report is byte for byte the direct scan's ($(head -1 direct.txt))"
else
    diff direct.txt grafted.txt | head -20
    exit 1
fi
