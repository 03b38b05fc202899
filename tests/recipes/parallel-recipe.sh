#!/usr/bin/env bash
# The GNU parallel recipe of the README and the manual page, run as a user runs it: a tree
# scanned in 16 shards at once, the shards grafted, and the report compared byte for byte
# with the report of one scan of the tree; the graft written as one file reads back the same.
#
# Usage: parallel-recipe.sh BRIMWELL-REPORT
set -euo pipefail
report=$(realpath "$1")
work=$(mktemp -d /tmp/brimwell-parallel-XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"
PATH=$(dirname "$report"):$PATH

# A tree whose first folders hold most of it, as trees people shard do, with files in every
# folder: 600 folders, each below one made before it.
folders=(srv)
RANDOM=11
for ((i = 1; i < 600; i++)); do
    folders+=("${folders[RANDOM % ${#folders[@]}]}/d$i")
done
mkdir "${folders[@]}"  # each after its parent
for folder in "${folders[@]}"; do
    for ((f = RANDOM % 4; f > 0; f--)); do
        printf '%*s' $((RANDOM % 5000)) '' >"$folder/f$f"
    done
done

# The recipe.
seq 0 15 | parallel brimwell-report --shard {}/16 -o shard-{}.json.gz "$work/srv"
brimwell-report -f shard-*.json.gz >grafted.txt

brimwell-report "$work/srv" >direct.txt
cmp direct.txt grafted.txt
brimwell-report -f shard-*.json.gz -o srv.json.gz
brimwell-report -f srv.json.gz | cmp direct.txt -
[[ $(ls shard-*.json.gz | wc -l) -eq 16 ]]
echo "16 shards in parallel, grafted: the report of one scan"
