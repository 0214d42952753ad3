# A single-node Slurm cluster on this machine, for the tests of contrib/: sourced, then
# `start_local_slurm DIR` starts munged, slurmctld and slurmd as root with everything (key,
# configuration, state, spool, logs, pid files, the munge socket) under DIR, and exports
# SLURM_CONF; `stop_local_slurm` stops them. No cgroups, no accounting. Returns non-zero, with
# the reason and the daemons' logs on standard error, when the cluster does not come up.

start_local_slurm() {
  local dir=$1 host cpus memory port i
  host=$(hostname -s)
  cpus=$(nproc)
  memory=$(($(awk '/^MemTotal:/ { print $2 }' /proc/meminfo) / 1024 - 256))
  # Ports of its own, so that another cluster on this machine is no matter.
  port=$((20000 + RANDOM % 20000))
  mkdir -p "$dir/state" "$dir/spool"
  head -c 1024 /dev/urandom >"$dir/munge.key"
  chmod 400 "$dir/munge.key"
  cat >"$dir/slurm.conf" <<EOF
ClusterName=skarvel-test
SlurmctldHost=$host
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
AuthInfo=socket=$dir/munge.socket
SlurmctldPort=$port
SlurmdPort=$((port + 1))
MpiDefault=none
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
SchedulerType=sched/backfill
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
ReturnToService=2
MinJobAge=3600
StateSaveLocation=$dir/state
SlurmdSpoolDir=$dir/spool
SlurmctldPidFile=$dir/slurmctld.pid
SlurmdPidFile=$dir/slurmd.pid
SlurmctldLogFile=$dir/slurmctld.log
SlurmdLogFile=$dir/slurmd.log
NodeName=$host CPUs=$cpus RealMemory=$memory State=UNKNOWN
PartitionName=test Nodes=$host Default=YES MaxTime=INFINITE State=UP
EOF
  export SLURM_CONF=$dir/slurm.conf
  LOCAL_SLURM_DIR=$dir
  munged --socket="$dir/munge.socket" --key-file="$dir/munge.key" --pid-file="$dir/munged.pid" \
    --log-file="$dir/munged.log" --seed-file="$dir/munge.seed" --force ||
    { local_slurm_failed "munged did not start"; return 1; }
  slurmctld -f "$SLURM_CONF" || { local_slurm_failed "slurmctld did not start"; return 1; }
  slurmd -f "$SLURM_CONF" || { local_slurm_failed "slurmd did not start"; return 1; }
  for ((i = 0; i < 60; i++)); do
    if sinfo -h -o %t 2>/dev/null | grep -qx idle; then
      return 0
    fi
    sleep 0.5
  done
  local_slurm_failed "the node $host is not idle after 30 s: $(sinfo -h -o '%t %E' 2>&1)"
  return 1
}

local_slurm_failed() {
  echo "local Slurm: $1" >&2
  tail -n 20 "$LOCAL_SLURM_DIR"/*.log >&2 2>/dev/null || true
}

stop_local_slurm() {
  local pid_file
  for pid_file in slurmd.pid slurmctld.pid munged.pid; do
    if [[ -s ${LOCAL_SLURM_DIR:-/nonexistent}/$pid_file ]]; then
      kill "$(cat "$LOCAL_SLURM_DIR/$pid_file")" 2>/dev/null || true
    fi
  done
}
