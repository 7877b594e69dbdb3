#!/usr/bin/env bash
# kalvane-cli batch on a real Slurm: a single-node cluster of Debian's
# slurm-wlm started in a temporary folder (munged with a key of its own,
# slurmctld and slurmd on loopback ports), the example array job script
# submitted as three tasks over six products; every product must be made
# exactly once across the three shards' reports. The daemons are stopped
# by their pids, also when a check fails. Needs root (as CI runs).
# usage: slurm-test.sh KALVANE_CLI SAMPLES_FOLDER SBATCH_SCRIPT
set -u
cli=$(realpath "$1") samples=$(realpath "$2") script=$(realpath "$3")
for tool in munged slurmctld slurmd sbatch scontrol scancel; do
  command -v $tool >/dev/null || { echo "slurm: $tool is missing (scripts/install-deps installs slurm-wlm and munge)"; exit 1; }
done
if [ "$(id -u)" -ne 0 ]; then
  echo "slurm: skipped: slurmd must run as root to start jobs"
  exit 77
fi

here=$(mktemp -d /tmp/kalvane-slurm.XXXXXX)
chmod 755 "$here"
failed=0
fail() { echo "FAIL $*"; failed=$((failed + 1)); }
# Stops a daemon by the pid it wrote, and waits until it is gone.
stop() {
  local pid
  pid=$(cat "$here/$1.pid" 2>/dev/null) || return 0
  kill -TERM "$pid" 2>/dev/null || return 0
  for ((i = 0; i < 200; i++)); do kill -0 "$pid" 2>/dev/null || return 0; sleep 0.05; done
  kill -KILL "$pid" 2>/dev/null
}
cleanup() {
  [ -n "${job:-}" ] && scancel "$job" 2>/dev/null
  stop slurmd
  stop slurmctld
  stop munged
  if [ $failed -ne 0 ]; then
    for log in slurmctld slurmd munged; do
      echo "--- $log.log"
      tail -20 "$here/$log.log" 2>/dev/null
    done
  fi
  rm -rf "$here"
}
trap cleanup EXIT
# A port nothing listens on, on the loopback.
free_port() {
  local port
  while :; do
    port=$((20000 + RANDOM % 20000))
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || { echo $port; return; }
  done
}
# Waits up to 30 s for a command to succeed.
until_ok() {
  for ((i = 0; i < 600; i++)); do "$@" >/dev/null 2>&1 && return 0; sleep 0.05; done
  return 1
}

# munge with its own key and socket.
dd if=/dev/urandom of="$here/munge.key" bs=1024 count=1 status=none
chmod 400 "$here/munge.key"
munged --key-file="$here/munge.key" --socket="$here/munge.socket" --pid-file="$here/munged.pid" \
  --log-file="$here/munged.log" --seed-file="$here/munged.seed" --force ||
  { fail "munged did not start"; exit 1; }

node=$(hostname -s)
mkdir -p "$here/state" "$here/spool"
cat >"$here/slurm.conf" <<EOF
ClusterName=kalvane
SlurmctldHost=$node(127.0.0.1)
SlurmctldPort=$(free_port)
SlurmdPort=$(free_port)
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
AuthInfo=socket=$here/munge.socket
CredType=cred/munge
StateSaveLocation=$here/state
SlurmdSpoolDir=$here/spool
SlurmctldPidFile=$here/slurmctld.pid
SlurmdPidFile=$here/slurmd.pid
SlurmctldLogFile=$here/slurmctld.log
SlurmdLogFile=$here/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
SchedulerType=sched/backfill
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
ReturnToService=2
MpiDefault=none
NodeName=$node NodeAddr=127.0.0.1 CPUs=$(nproc) State=UNKNOWN
PartitionName=kalvane Nodes=$node Default=YES MaxTime=INFINITE State=UP
EOF
export SLURM_CONF=$here/slurm.conf
slurmctld -f "$SLURM_CONF" -i || { fail "slurmctld did not start"; exit 1; }
until_ok scontrol ping || { fail "slurmctld does not answer"; exit 1; }
slurmd -f "$SLURM_CONF" || { fail "slurmd did not start"; exit 1; }
idle() { scontrol show node "$node" | grep -q "State=IDLE"; }
until_ok idle || { fail "the node did not come up: $(scontrol show node "$node" | grep State)"; exit 1; }

# Six products of two photos each.
day=$here/day
mkdir -p "$day"
for ((p = 0; p < 6; p++)); do
  mkdir -p "$day/shots/p$p"
  cp "$samples/turntable/turntable_$(printf %02d $((2 * p))).jpg" \
    "$samples/turntable/turntable_$(printf %02d $((2 * p + 1))).jpg" "$day/shots/p$p/"
  echo "{\"id\": \"product-$p\", \"photos\": [\"shots/p$p\"], \"align\": false, \"outputs\": [\"swf\"]}"
done >"$day/manifest.jsonl"

cd "$day" || exit 1
# sbatch --wait follows the job to its end (its status is the tasks'); the
# test's own deadline stops a hang.
job=$(KALVANE_CLI=$cli timeout 240 sbatch --parsable --wait --array=0-2 "$script" manifest.jsonl out)
status=$?
job=${job%%;*}
[ -n "$job" ] || { fail "sbatch refused the job"; exit 1; }
[ $status -eq 0 ] || fail "the array job ended with status $status"

for task in 0 1 2; do
  out=kalvane-batch-${job}_$task.out
  [ -f "$out" ] || fail "task $task left no output"
  grep -q "of shard $task/3" "$out" || fail "task $task did not run shard $task/3: $(cat "$out" 2>/dev/null)"
  [ -f "out/report-$task-of-3.jsonl" ] || fail "no report of shard $task"
  # The task's products are those its shard takes.
  want=$("$cli" batch manifest.jsonl -o "$here/none" --shard $task/3 --dry-run | grep -c '^run ')
  got=$(grep -c '"status":"ok"' "out/report-$task-of-3.jsonl" 2>/dev/null)
  [ "$want" = "$got" ] || fail "shard $task made $got products, its shard has $want"
done
made=$(cat out/report-*-of-3.jsonl 2>/dev/null | grep '"status":"ok"' | grep -o '"id":"[^"]*"' | sort)
[ "$(echo "$made" | sort -u | wc -l)" = 6 ] || fail "not every product was made: $made"
[ "$(echo "$made" | wc -l)" = 6 ] || fail "a product was made twice: $made"
for ((p = 0; p < 6; p++)); do
  grep -q '"status": "ok"' "out/product-$p/result.json" 2>/dev/null || fail "product-$p has no ok result"
  [ -s "out/product-$p/veldata.swf" ] || fail "product-$p has no movie"
done

[ $failed -eq 0 ] && echo "slurm: all passed"
exit $failed
