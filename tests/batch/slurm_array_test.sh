#!/bin/bash
# The Slurm path for real: a one-node cluster on this machine (munged, slurmctld
# and slurmd of its own, in a scratch folder, on ports of its own), a job array
# of 3 tasks running contrib/slurm/orvane-batch.sbatch over a tree of documents
# made here, and checks of every output and of the merged reports. Every daemon
# it starts is stopped again, by its pid, however the test ends.
#
# usage: slurm_array_test.sh ORVANE_WORD SBATCH_SCRIPT
# Exit 77 (skipped) unless run as root with Slurm and munge installed
# (apt-get install slurm-wlm munge; .ci/run does that).
set -euo pipefail

engine=$(realpath "$1")
script=$(realpath "$2")
skip() { echo "skipped: $*"; exit 77; }
[ "$(id -u)" = 0 ] || skip "starting Slurm's daemons needs root"
for program in munged slurmctld slurmd sbatch squeue scontrol; do
    command -v "$program" >/dev/null || skip "$program is not installed (apt-get install slurm-wlm munge)"
done

work=$(mktemp -d /tmp/orvane-slurm-XXXXXX)
chmod 755 "$work"
pids=()
cleanup() {
    local status=$?
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do
        for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -9 "$pid" 2>/dev/null || true
    done
    if [ "$status" -ne 0 ] && [ "$status" -ne 77 ]; then
        for log in "$work"/*.log "$work"/logs/*; do [ -f "$log" ] && { echo "--- $log"; tail -20 "$log"; }; done
    fi
    rm -rf "$work"
    exit "$status"
}
trap cleanup EXIT
fail() { echo "FAILED: $*"; exit 1; }

# Ports nothing else listens on, so a cluster already on this machine is not disturbed.
free_port() {
    local port
    for port in $(seq "$1" $(( $1 + 200 ))); do
        if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then echo "$port"; return; fi
    done
    fail "no free port from $1"
}
ctld_port=$(free_port 16817)
slurmd_port=$(free_port $(( ctld_port + 1 )))

# munge, with a key and a socket of its own.
mkdir -p "$work/munge" "$work/state" "$work/spool" "$work/logs"
chmod 711 "$work/munge"
dd if=/dev/urandom of="$work/munge/munge.key" bs=1024 count=1 status=none
chmod 600 "$work/munge/munge.key"
munged --foreground --force --key-file="$work/munge/munge.key" --socket="$work/munge/munge.socket" \
    --pid-file="$work/munge/munged.pid" --seed-file="$work/munge/munged.seed" \
    --log-file="$work/munged.log" >"$work/munged.out" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -S "$work/munge/munge.socket" ] && break; sleep 0.1; done
[ -S "$work/munge/munge.socket" ] || fail "munged did not start"

host=$(hostname -s)
cpus=$(nproc)
cat >"$work/slurm.conf" <<CONF
ClusterName=orvanetest
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=$ctld_port
SlurmdPort=$slurmd_port
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$work/munge/munge.socket
StateSaveLocation=$work/state
SlurmdSpoolDir=$work/spool
SlurmctldPidFile=$work/slurmctld.pid
SlurmdPidFile=$work/slurmd.pid
SlurmctldLogFile=$work/slurmctld.log
SlurmdLogFile=$work/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
MpiDefault=none
SwitchType=switch/none
SchedulerType=sched/backfill
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
ReturnToService=2
NodeName=$host NodeAddr=127.0.0.1 CPUs=$cpus State=UNKNOWN
PartitionName=orvane Nodes=$host Default=YES MaxTime=INFINITE State=UP OverSubscribe=YES
CONF
export SLURM_CONF="$work/slurm.conf"

slurmctld -D -i -f "$SLURM_CONF" >"$work/slurmctld.out" 2>&1 &
pids+=($!)
slurmd -D -f "$SLURM_CONF" >"$work/slurmd.out" 2>&1 &
pids+=($!)
for _ in $(seq 150); do
    state=$(sinfo -h -N -o '%T' 2>/dev/null | head -1 || true)
    case "$state" in idle*|mixed*|alloc*) break ;; esac
    sleep 0.2
done
case "${state:-}" in idle*|mixed*|alloc*) ;; *) fail "the node did not come up (state '${state:-none}')" ;; esac

# Documents in folders, two of the same name, one that cannot be converted.
docs="$work/docs"
mkdir -p "$docs/2020" "$docs/2021/q1" "$docs/.git"
for i in $(seq 1 12); do printf 'Letter %s.\n' "$i" >"$docs/2020/letter$i.txt"; done
for i in $(seq 1 9); do printf '{\\rtf1\\ansi Memo %s.\\par}' "$i" >"$docs/2021/q1/memo$i.rtf"; done
printf 'Report 2020.\n' >"$docs/2020/report.doc"
printf 'Report 2021.\n' >"$docs/2021/report.doc"
: >"$docs/2021/empty.doc"
printf 'not a document\n' >"$docs/.git/ignored.doc"
total=24
out="$work/rtf"

# The job array, as a user submits it; --wait returns when every task is done
# (with the failure of the task that met the empty document).
set +e
ORVANE_WORD="$engine" timeout 300 sbatch --wait --quiet --array=0-2 --cpus-per-task=1 \
    --output="$work/logs/%A_%a.out" "$script" "$docs" "$out"
submitted=$?
set -e
[ "$submitted" -ne 124 ] || fail "the job array did not finish within 300 seconds"

# Every document converted where the mirrored tree says, and nothing else.
for i in $(seq 1 12); do [ -s "$out/2020/letter$i.rtf" ] || fail "missing 2020/letter$i.rtf"; done
for i in $(seq 1 9); do grep -q "Memo $i" "$out/2021/q1/memo$i.rtf" || fail "2021/q1/memo$i.rtf is not the memo"; done
grep -q "Report 2020" "$out/2020/report.rtf" || fail "2020/report.rtf is not 2020's report"
grep -q "Report 2021" "$out/2021/report.rtf" || fail "2021/report.rtf is not 2021's report"
outputs=$(find "$out" -name '*.rtf' -not -path '*/.orvane-reports/*' | wc -l)
[ "$outputs" -eq $(( total - 1 )) ] || fail "$outputs outputs, expected $(( total - 1 ))"
! find "$out" -name '.orvane-word-*' | grep -q . || fail "a temporary file was left behind"

# Three reports, which together name every document exactly once.
reports=("$out"/.orvane-reports/report-*-of-3.jsonl)
[ "${#reports[@]}" -eq 3 ] || fail "${#reports[@]} reports, expected 3"
for report in "${reports[@]}"; do [ -s "$report" ] || fail "$report is empty: a task converted nothing"; done
cat "${reports[@]}" >"$work/merged.jsonl"
records=$(wc -l <"$work/merged.jsonl")
[ "$records" -eq "$total" ] || fail "$records records, expected $total"
sed 's/^{"input":"\([^"]*\)".*/\1/' "$work/merged.jsonl" | sort >"$work/reported"
find "$docs" -path "$docs/.git" -prune -o -type f -print | sort >"$work/expected"
diff "$work/expected" "$work/reported" >/dev/null || { diff "$work/expected" "$work/reported"; fail "the reports do not cover each document once"; }
converted=$(grep -c '"status":"converted"' "$work/merged.jsonl")
failed=$(grep -c '"status":"failed"' "$work/merged.jsonl")
[ "$converted" -eq $(( total - 1 )) ] && [ "$failed" -eq 1 ] || fail "$converted converted and $failed failed"
grep -q "\"input\":\"$docs/2021/empty.doc\".*\"error\":\"The file is empty.\"" "$work/merged.jsonl" ||
    fail "the empty document's record does not say why"
[ "$submitted" -ne 0 ] || fail "sbatch --wait reported success although one document failed"

echo "Slurm job array: 3 tasks converted $converted documents, 1 failed as expected, each reported once"
