#!/usr/bin/env bash
# Runs the shipped Slurm scripts for real on this machine: installs Debian's slurm-wlm and
# munge, starts munged, slurmctld and slurmd on localhost with a scratch configuration,
# submits brimwell-scan.sbatch as a job array and brimwell-graft.sbatch as a job that waits
# for it, once without and once with --plan, and compares the graft's report with a direct
# scan of the tree byte for byte. Stops the three services again, whatever happens. Needs
# root (the services, and the jobs run as the submitting user). Not part of ./test.
#
# Usage: contrib/slurm/check-slurm.sh [SHARDS]   (default 8)
# Environment: WORK (scratch folder, default /tmp/brimwell-slurm-check), TREE (default: a
#              gen-tree big at SCALE, default 0.1), GEN_TREE, BUILD (default build/dev).
set -euo pipefail
cd "$(dirname "$0")/../.."
repo=$(pwd)
shards=${1:-8}
work=${WORK:-/tmp/brimwell-slurm-check}
build=${BUILD:-$repo/build/dev}
gen_tree=${GEN_TREE:-$repo/../shared/tools/gen-tree}

if [[ $(id -u) -ne 0 ]]; then
    echo "check-slurm: starting munged, slurmctld and slurmd needs root" >&2
    exit 2
fi
scripts/ensure-packages slurm-wlm munge python3
cmake --preset dev >/dev/null
cmake --build --preset dev --target brimwell-report -j2 >/dev/null
export PATH=$build/src/app:$PATH

rm -rf "$work"
mkdir -p "$work"/{state,spool,munge,out}
tree=${TREE:-}
if [[ -z $tree ]]; then
    "$gen_tree" --root "$work" --scale "${SCALE:-0.1}" big >/dev/null
    tree=$work/big
fi

# munged with a key of its own, on a socket of its own.
cp /etc/munge/munge.key "$work/munge/key"
chmod 0400 "$work/munge/key"
munge_socket=$work/munge/socket
munged --force --key-file="$work/munge/key" --socket="$munge_socket" \
    --pid-file="$work/munge/pid" --log-file="$work/munge/log" --seed-file="$work/munge/seed"

host=$(hostname -s)
cat >"$work/slurm.conf" <<EOF
ClusterName=brimwell-check
SlurmctldHost=$host(127.0.0.1)
SlurmUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$munge_socket
StateSaveLocation=$work/state
SlurmdSpoolDir=$work/spool
SlurmctldPidFile=$work/slurmctld.pid
SlurmdPidFile=$work/slurmd.pid
SlurmctldLogFile=$work/slurmctld.log
SlurmdLogFile=$work/slurmd.log
SlurmctldPort=16817
SlurmdPort=16818
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
MpiDefault=none
ReturnToService=2
NodeName=$host NodeAddr=127.0.0.1 CPUs=$(nproc) State=UNKNOWN
PartitionName=check Nodes=$host Default=YES MaxTime=INFINITE State=UP OverSubscribe=FORCE:4
EOF
export SLURM_CONF=$work/slurm.conf

stop() {
    for pidfile in "$work/slurmd.pid" "$work/slurmctld.pid" "$work/munge/pid"; do
        [[ -s $pidfile ]] && kill "$(cat "$pidfile")" 2>/dev/null || true
    done
    echo "services stopped"
}
trap stop EXIT
slurmctld -f "$SLURM_CONF"
slurmd -f "$SLURM_CONF"
for _ in $(seq 60); do
    sinfo -h -o %T 2>/dev/null | grep -q idle && break
    sleep 1
done
sinfo
echo "slurm $(sinfo -V), $(nproc) cores; tree $tree"

# Waits for a job to leave the queue; prints its final state.
wait_for() {
    local state
    for _ in $(seq 600); do
        state=$(scontrol show job "$1" 2>/dev/null | sed -n 's/.*JobState=\([A-Z_]*\).*/\1/p' |
            sort -u | tr '\n' ' ')
        [[ $state =~ PENDING|RUNNING|CONFIGURING|COMPLETING ]] || break
        sleep 1
    done
    echo "$state"
}

direct=$(brimwell-report "$tree")
status=0
cd "$work/out"
for round in plain planned; do
    outdir=$work/out/$round
    options=()
    [[ $round == planned ]] && options=(--plan "$work/out/plain/graft.json.gz")
    start=$(date +%s.%N)
    jobid=$(sbatch --parsable --array=0-$((shards - 1)) "$repo/contrib/slurm/brimwell-scan.sbatch" \
        "$tree" "$outdir" "${options[@]}")
    graft=$(sbatch --parsable --dependency=afterok:"$jobid" \
        "$repo/contrib/slurm/brimwell-graft.sbatch" "$outdir")
    echo "$round: array job $jobid ($shards tasks), graft job $graft"
    echo "  array: $(wait_for "$jobid")"
    echo "  graft: $(wait_for "$graft")"
    end=$(date +%s.%N)
    grafted=$(brimwell-report -f "$outdir/graft.json.gz" 2>&1 || true)
    sizes=$(for file in "$outdir"/shard-*.json.gz; do
        brimwell-report -f "$file" | head -1 | sed 's/.*Folders : \([0-9]*\) , Files : \([0-9]*\).*/\1 \2/'
    done | awk '{ e = $1 + $2; s += e; if (e > m) m = e; n++ } END { printf "%d shards, largest %.3f x the average entries", n, m / (s / n) }')
    echo "  $sizes; $(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.1f s", b - a }') from submission to graft"
    if [[ "$grafted" == "$direct" ]]; then
        echo "  the graft's report is byte for byte the direct scan's ($(head -1 <<<"$direct"))"
    else
        echo "  the graft's report differs from the direct scan's:"
        diff <(echo "$direct") <(echo "$grafted") | head -20
        status=1
    fi
done
exit $status
