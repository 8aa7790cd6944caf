# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the cluster test: a one-node Slurm cluster of its own on this
# machine, started under $work/cluster (munged with a key of its own and its
# own socket, slurmctld and slurmd on ports found free at start, a
# slurm.conf of their own), so that two runs at once, or a site's cluster
# on the same machine, never meet. Every daemon is stopped by its pid.
#
#   . slurm_env.sh
#   find_slurm ENSURE_TOOLS  the daemons and commands, installed with
#                            ENSURE_TOOLS --cluster when missing
#   start_cluster            starts the three daemons, waits for the node to
#                            be idle; exports SLURM_CONF
#   stop_cluster             cancels what is still queued or running, stops
#                            the daemons this shell started
#
# When Slurm cannot be had or started, the test is skipped (exit 77),
# except when CI is set: then it fails with the reason.
cluster_pids=

# cluster_refuse WHY: the end of a test that has no cluster.
cluster_refuse() {
  if [ -n "${CI:-}" ]; then
    echo "FAIL: CI is set and the one-node cluster could not be had: $1"
    exit 1
  fi
  echo "SKIP: no one-node cluster here: $1"
  exit 77
}

slurm_missing() {
  for p in munged mungekey slurmctld slurmd sbatch sinfo scontrol squeue scancel; do
    command -v "$p" >/dev/null 2>&1 || { echo "$p"; return 0; }
  done
  return 1
}

find_slurm() {
  PATH=$PATH:/usr/sbin:/sbin
  export PATH
  missing=$(slurm_missing) || return 0
  why=$(bash "$1" --cluster 2>&1) || true
  missing=$(slurm_missing) || return 0
  why=$(printf '%s' "$why" | tail -n 3 | tr '\n' ' ')
  cluster_refuse "no $missing: ${why:-scripts/ensure-tools --cluster installed nothing}"
}

# A port in 20000-29999 that no socket of this machine has, not $1.
free_port() {
  # The local ports in use, in the hexadecimal of /proc/net/tcp.
  used=$(cat /proc/net/tcp /proc/net/tcp6 2>/dev/null | awk '$2 ~ /:/ { n = split($2, a, ":"); print a[n] }')
  tries=0
  while [ "$tries" -lt 20 ]; do
    tries=$((tries + 1))
    port=$(awk -v s="$(od -An -N4 -tu4 /dev/urandom)" 'BEGIN { srand(s % 2147483647); print 20000 + int(rand() * 10000) }')
    [ "$port" != "${1:-}" ] || continue
    printf '%s\n' "$used" | grep -qx "$(printf '%04X' "$port")" || { echo "$port"; return 0; }
  done
  return 1
}

# wait_for_file FILE SECONDS: true once FILE is there and not empty.
wait_for_file() {
  tenths=$(($2 * 10))
  while [ ! -s "$1" ] && [ "$tenths" -gt 0 ]; do
    sleep 0.1
    tenths=$((tenths - 1))
  done
  [ -s "$1" ]
}

# The last lines of a daemon's log, on one line, for a refusal.
log_tail() { tail -n 4 "$1" 2>/dev/null | tr '\n' ' '; }

write_slurm_conf() {
  c=$1 node_line=$2 ctld_port=$3 slurmd_port=$4
  node=${node_line#NodeName=}
  node=${node%% *}
  cat >"$c/slurm.conf" <<EOF
# The cluster of one test run; nothing here is shared with another.
ClusterName=wavefft
SlurmctldHost=$node(127.0.0.1)
SlurmctldPort=$ctld_port
SlurmdPort=$slurmd_port
SlurmUser=$(id -un)
SlurmdUser=$(id -un)
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$c/munge.socket
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
MpiDefault=none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
ReturnToService=2
MailProg=/bin/true
StateSaveLocation=$c/state
SlurmdSpoolDir=$c/spool
SlurmctldPidFile=$c/slurmctld.pid
SlurmdPidFile=$c/slurmd.pid
SlurmctldLogFile=$c/slurmctld.log
SlurmdLogFile=$c/slurmd.log
$node_line NodeAddr=127.0.0.1 State=UNKNOWN
PartitionName=work Nodes=$node Default=YES MaxTime=INFINITE State=UP
EOF
}

start_munge() {
  c=$1
  mungekey --create --keyfile="$c/munge.key" >"$c/mungekey.log" 2>&1 ||
    cluster_refuse "mungekey: $(log_tail "$c/mungekey.log")"
  # --force: as root, and in a folder under a world-writable /tmp, munged
  # would otherwise refuse to start.
  munged --force --socket="$c/munge.socket" --key-file="$c/munge.key" --pid-file="$c/munged.pid" \
    --log-file="$c/munged.log" --seed-file="$c/munged.seed" >"$c/munged.out" 2>&1 ||
    cluster_refuse "munged: $(cat "$c/munged.out") $(log_tail "$c/munged.log")"
  wait_for_file "$c/munged.pid" 10 || cluster_refuse "munged wrote no pid file: $(log_tail "$c/munged.log")"
  cluster_pids="$(cat "$c/munged.pid") $cluster_pids"
}

# start_daemon NAME CONF_DIR ARGS...: slurmctld or slurmd, its pid kept.
start_daemon() {
  name=$1 c=$2
  shift 2
  "$name" -f "$c/slurm.conf" "$@" >"$c/$name.out" 2>&1 || cluster_refuse "$name: $(cat "$c/$name.out") $(log_tail "$c/$name.log")"
  wait_for_file "$c/$name.pid" 20 || cluster_refuse "$name wrote no pid file: $(log_tail "$c/$name.log")"
  cluster_pids="$(cat "$c/$name.pid") $cluster_pids"
}

start_cluster() {
  c=$work/cluster
  mkdir -p "$c/state" "$c/spool"
  node_line=$(slurmd -C 2>/dev/null | sed -n '/^NodeName=/p' | sed 's/ UpTime=.*//')
  [ -n "$node_line" ] || cluster_refuse "slurmd -C described no node"
  ctld_port=$(free_port) && slurmd_port=$(free_port "$ctld_port") || cluster_refuse "no free port in 20000-29999"
  write_slurm_conf "$c" "$node_line" "$ctld_port" "$slurmd_port"
  SLURM_CONF=$c/slurm.conf
  export SLURM_CONF
  start_munge "$c"
  start_daemon slurmctld "$c"
  node=${node_line#NodeName=}
  node=${node%% *}
  start_daemon slurmd "$c" -N "$node"
  waited=0
  until [ "$(sinfo -h -n "$node" -o %t 2>/dev/null)" = idle ]; do
    [ "$waited" -lt 600 ] ||
      cluster_refuse "the node was not idle after 60 s (sinfo: $(sinfo -h -n "$node" -o '%t %E' 2>&1)); slurmctld: $(log_tail "$c/slurmctld.log") slurmd: $(log_tail "$c/slurmd.log")"
    sleep 0.1
    waited=$((waited + 1))
  done
}

# Every job of this cluster cancelled and gone, then the daemons stopped,
# each by its pid, killed when it has not ended after ten seconds.
stop_cluster() {
  [ -n "$cluster_pids" ] || return 0
  scancel --user="$(id -un)" >/dev/null 2>&1 || true
  waited=0
  while [ -n "$(squeue -h 2>/dev/null)" ] && [ "$waited" -lt 150 ]; do
    sleep 0.2
    waited=$((waited + 1))
  done
  for pid in $cluster_pids; do
    kill "$pid" 2>/dev/null || true
  done
  for pid in $cluster_pids; do
    tenths=100
    while kill -0 "$pid" 2>/dev/null && [ "$tenths" -gt 0 ]; do
      sleep 0.1
      tenths=$((tenths - 1))
    done
    kill -KILL "$pid" 2>/dev/null || true
  done
  cluster_pids=
}
