#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# scripts/slurm-catalogue on a real one-node Slurm cluster started here
# (slurm_env.sh). First its refusals; then, with a stand-in wavefft-batch
# that writes down how it was called, the command line of every task and
# of the join (paths with blanks, a % in the output folder that sbatch
# would read as a pattern), the exit status of --wait when a task has
# records that are not normal, when a task fails (the join is cancelled)
# and when a running task is requeued; then the bundled records through
# the real wavefft-batch in 3 tasks, compared with a run on this machine:
# flatfile.csv byte for byte, summary.tsv and index.html once the links
# into the task folders are taken out. Last, a record folder removed from
# a task and the same command again: only that record runs, and the
# outputs are the same again.
#
#   slurm_test.sh WAVEFFT_BATCH SOURCE_DIR
set -eu
batch=$1 src=$2
catalogue=$src/scripts/slurm-catalogue
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lib.sh"
. "$here/slurm_env.sh"
enter_scratch slurm
trap 'stop_cluster; cd /; rm -rf "$work"' EXIT
trap 'exit 143' HUP INT TERM
started=$(date +%s)

# Refused before anything is made or submitted, with the usage text.
refused() {
  label=$1
  shift
  if "$catalogue" "$@" >/dev/null 2>err.txt; then rc=0; else rc=$?; fi
  [ "$rc" -eq 2 ] || fail "refused ($label): exit status $rc, expected 2"
  is_usage_error "$catalogue" err.txt || fail "refused ($label): not a usage error: '$(cat err.txt)'"
  [ ! -e refused ] || fail "refused ($label): the output folder was made"
  rm -rf refused
}
refused "no -o" --tasks 2 rec.txt
refused "no --tasks" -o refused rec.txt
refused "--tasks 0" -o refused --tasks 0 rec.txt
refused "--tasks x" -o refused --tasks x rec.txt
refused "--tasks -1" -o refused --tasks -1 rec.txt
refused "-j 0" -o refused --tasks 2 -j 0 rec.txt
refused "no record" -o refused --tasks 2
refused "an option last" -o refused --tasks 2 rec.txt --bandpass
refused "--shard" -o refused --tasks 2 --shard 0/2 rec.txt
refused "--join" -o refused --tasks 2 --join rec.txt
refused "-o without a value" --tasks 2 rec.txt -o
refused "--tasks twice" -o refused --tasks 2 --tasks=3 rec.txt

find_slurm "$src/scripts/ensure-tools"
start_cluster
echo "cluster up in $(($(date +%s) - started)) s"

# The stand-in: writes its folder and arguments, one a line, to
# calls/JOB-RESTARTS; as task I it exits with the number in status-I when
# there is one, as the join with that in status-join. Task 0 of a run
# with hold-0 present sleeps until it is requeued.
mkdir "fake bin" calls
cat >"fake bin/wavefft-batch" <<EOF
#!/bin/sh
calls='$work/calls'
EOF
cat >>"fake bin/wavefft-batch" <<'EOF'
{ pwd; printf '%s\n' "$@"; } >"$calls/$SLURM_JOB_ID-${SLURM_RESTART_COUNT:-0}"
case $1 in
  --join) me=join; echo "3 normal" ;;
  *) me=$SLURM_ARRAY_TASK_ID ;;
esac
if [ "$me" = 0 ] && [ -e "$calls/../hold-0" ] && [ "${SLURM_RESTART_COUNT:-0}" = 0 ]; then
  touch "$calls/../running-0"
  sleep 300
fi
[ -e "$calls/../status-$me" ] || exit 0
echo "stand-in: task $me refused" >&2
exit "$(cat "$calls/../status-$me")"
EOF
chmod +x "fake bin/wavefft-batch"

# The calls of job JOB (the stand-in's record) without its folder line, on
# one line, and its folder.
call_args() { sed 1d "calls/$1" | tr '\n' ' '; }
call_dir() { sed -n 1p "calls/$1"; }
# The array task I of array job JOB: its own job id.
task_id() { scontrol -o show job "$1" | awk -v i="$2" '$0 ~ " ArrayTaskId=" i " " { sub(/^JobId=/, "", $1); print $1 }'; }

mkdir "sub dir"
out="$work/out dir/50%job"
# fake_run LABEL ARGS...: slurm-catalogue through the stand-in, from "sub
# dir"; sets rc and the job ids it printed.
fake_run() {
  label=$1
  shift
  if (cd "sub dir" && WAVEFFT_BATCH="$work/fake bin/wavefft-batch" "$catalogue" "$@" >"../$label.out" 2>"../$label.err"); then
    rc=0
  else
    rc=$?
  fi
  tasks_job=$(sed -n 's/^tasks: //p' "$label.out")
  join_job=$(sed -n 's/^join: //p' "$label.out")
}

# Task 1 has records that are not normal (status 1): the join still runs;
# its status 1 is that of --wait.
echo 1 >status-1
echo 1 >status-join
fake_run notnormal -o "$out" --tasks 3 --wait --bandpass 0.1,0.2,20,25 "in put/rec a.txt" ../b.txt
[ "$rc" -eq 1 ] || fail "stand-in: exit status $rc, expected 1 (the join's): $(cat notnormal.err)"
[ -n "$tasks_job" ] && [ -n "$join_job" ] || fail "stand-in: no job ids in '$(cat notnormal.out)'"
grep -q '^3 normal$' notnormal.out || fail "stand-in: the join's tally is not printed: '$(cat notnormal.out)'"
for i in 0 1 2; do
  id=$(task_id "$tasks_job" $i)
  [ -f "calls/$id-0" ] || { fail "stand-in: task $i (job '$id') did not run"; continue; }
  [ "$(call_dir "$id-0")" = "$work/sub dir" ] || fail "stand-in: task $i ran in '$(call_dir "$id-0")'"
  [ "$(call_args "$id-0")" = "--resume --shard $i/3 -o $out/task-$i -j 1 --bandpass 0.1,0.2,20,25 in put/rec a.txt ../b.txt " ] ||
    fail "stand-in: task $i was called with '$(call_args "$id-0")'"
  [ "$(sed 1d "calls/$id-0" | sed -n 10p)" = "in put/rec a.txt" ] || fail "stand-in: task $i: a path with a blank split"
  [ -f "$out/logs/task-$i.out" ] && [ -f "$out/logs/task-$i.err" ] || fail "stand-in: no logs of task $i in $out/logs"
done
[ "$(call_args "$join_job-0")" = "--join -o $out $out/task-0 $out/task-1 $out/task-2 " ] ||
  fail "stand-in: the join was called with '$(call_args "$join_job-0")'"
[ "$(call_dir "$join_job-0")" = "$work/sub dir" ] || fail "stand-in: the join ran in '$(call_dir "$join_job-0")'"
grep -q '^stand-in: task join refused$' "$out/logs/join.err" || fail "stand-in: the join's errors are not in logs/join.err"
[ "$(LC_ALL=C ls "$out/logs" | tr '\n' ' ')" = "jobs join.err join.out join.sh task-0.err task-0.out task-1.err task-1.out task-2.err task-2.out tasks.sh " ] ||
  fail "stand-in: logs '$(LC_ALL=C ls "$out/logs" | tr '\n' ' ')'"

# Task 2 fails: the join never runs, --wait says which task and why.
rm -f status-* calls/*
echo 2 >status-2
fake_run failed -o "$out" --tasks 3 -j 2 --wait "in put/rec a.txt"
[ "$rc" -eq 3 ] || fail "failed task: exit status $rc, expected 3"
grep -q "^slurm-catalogue: task 2: FAILED, exit 2:0: stand-in: task 2 refused\$" failed.err ||
  fail "failed task: the reason is not given: '$(cat failed.err)'"
grep -q "slurm-catalogue: the join (job $join_job) ended CANCELLED" failed.err || fail "failed task: '$(cat failed.err)'"
[ ! -e "calls/$join_job-0" ] || fail "failed task: the join ran"
id=$(task_id "$tasks_job" 0)
sed 1d "calls/$id-0" | sed -n 6,7p | tr '\n' ' ' | grep -qx -- '-j 2 ' || fail "failed task: -j 2 not handed on: '$(call_args "$id-0")'"
scontrol -o show job "$id" | grep -q ' NumCPUs=2 ' || fail "failed task: -j 2 did not ask for 2 processors"

# Without --wait: the ids, status 0 at once. While task 0 runs, a second
# submission into the same folder is refused; then task 0 is requeued,
# runs again, and the join follows.
rm -f status-* calls/*
touch hold-0
fake_run requeue -o "$work/requeue" --tasks 2 "in put/rec a.txt"
[ "$rc" -eq 0 ] || fail "requeue: exit status $rc: $(cat requeue.err)"
waited=0
while [ ! -e running-0 ] && [ "$waited" -lt 300 ]; do
  sleep 0.2
  waited=$((waited + 1))
done
[ -e running-0 ] || fail "requeue: task 0 never started"
first_tasks=$tasks_job first_join=$join_job
fake_run again -o "$work/requeue" --tasks 2 "in put/rec a.txt"
[ "$rc" -eq 3 ] || fail "second submission: exit status $rc, expected 3"
grep -q "(tasks $first_tasks, join $first_join) are still queued or running" again.err ||
  fail "second submission: '$(cat again.err)'"
[ -z "$tasks_job" ] || fail "second submission: jobs were submitted"
tasks_job=$first_tasks join_job=$first_join
id=$(task_id "$tasks_job" 0)
scontrol requeue "$id" || fail "requeue: scontrol requeue $id"
# A requeued job waits two minutes before it may start again; not here.
waited=0
until scontrol -o show job "$id" | grep -q ' JobState=PENDING ' || [ "$waited" -gt 100 ]; do
  sleep 0.1
  waited=$((waited + 1))
done
scontrol update JobId="$id" StartTime=now || fail "requeue: the requeued task cannot be started now"
waited=0
until scontrol -o show job "$join_job" | grep -q ' JobState=COMPLETED ' || [ "$waited" -gt 120 ]; do
  sleep 0.5
  waited=$((waited + 1))
done
[ -f "calls/$id-1" ] || fail "requeue: task 0 did not run again after the requeue"
[ "$(call_args "$id-1")" = "$(call_args "$id-0")" ] || fail "requeue: the second run of task 0 was called otherwise"
[ -f "calls/$join_job-0" ] || fail "requeue: the join did not run after the requeued task"
rm -f hold-0 running-0
echo "stand-in checks done at $(($(date +%s) - started)) s"

if ! "$batch" --help | grep -q -- '--shard'; then
  fail "$batch has no --shard"
  finish slurm
  exit
fi

# The bundled records of the batch tests, a name with a blank among them:
# agency folders (one the import refuses), record files, a folder of
# downloads, a missing path.
raw=$src/tests/data/import/raw
mkdir in downloads
cp -R "$raw/knet/CHB002" in/CHB002
cp -R "$raw/peer-at2/RSN763_GIL" in/RSN763_GIL
cp -R "$raw/afad/NSMN_0921" "in/NSMN 0921"
cp -R "$raw/knet/NGNH31_kik" downloads/NGNH31_kik
cp -R "$raw/geonet/WPWS" downloads/WPWS
cp "$src/tests/data/records/SYLMAR_1994_AFTERSHOCK.txt" in/sylmar.txt
set -- --bandpass 0.1,0.2,20,25 in/CHB002 in/RSN763_GIL in/sylmar.txt in/missing.txt downloads/ "in/NSMN 0921"
# The page's title is the output folder's name: the same in both.
if "$batch" -j 2 -o "one/cat out" "$@" >single.log 2>&1; then rc=0; else rc=$?; fi
[ "$rc" -eq 1 ] || fail "single run: exit status $rc, expected 1 (not every record normal): $(cat single.log)"
cluster_run() {
  if WAVEFFT_BATCH=$batch "$catalogue" -o "cat out" --tasks 3 --wait "$@" >"$label.out" 2>"$label.err"; then rc=0; else rc=$?; fi
  [ "$rc" -eq 1 ] || fail "$label: exit status $rc, expected 1 (not every record normal): $(cat "$label.err")"
}
# same LABEL: the joined outputs are the single run's.
same() {
  for f in flatfile.csv summary.tsv index.html; do
    [ -f "cat out/$f" ] || { fail "$1: no $f joined"; return 0; }
  done
  cmp -s "one/cat out/flatfile.csv" "cat out/flatfile.csv" || fail "$1: flatfile.csv is not the single run's"
  for f in summary.tsv index.html; do
    sed -E 's#task-[0-9]+/##g' "cat out/$f" >"joined-$f"
    cmp -s "one/cat out/$f" "joined-$f" || fail "$1: $f is not the single run's: $(diff "one/cat out/$f" "joined-$f" | cut -c 1-200 | head -n 6)"
  done
}
label=cluster
cluster_run "$@"
same cluster
# Every task had records of its own.
for i in 0 1 2; do
  [ "$(tail -n +2 "cat out/task-$i/summary.tsv" 2>/dev/null | wc -l)" -ge 2 ] || fail "cluster: task $i had fewer than 2 records"
done
# The joined links lead to the reports in the task folders.
awk -F '\t' 'NR == 1 { for (i = 1; i <= NF; i++) c[$i] = i; next } $(c["page"]) != "" { print $(c["page"]) }' \
  "cat out/summary.tsv" >pages.txt
[ "$(wc -l <pages.txt)" -ge 5 ] || fail "cluster: $(wc -l <pages.txt) report pages linked, expected at least 5"
while IFS= read -r page; do
  case $page in task-[0-9]/*) ;; *) fail "cluster: the link '$page' is not into a task folder" ;; esac
  [ -f "cat out/$page" ] || fail "cluster: the link '$page' leads nowhere"
done <pages.txt
grep -q '^1 import-failed$' cluster.out || fail "cluster: the tally is not printed: '$(cat cluster.out)'"

# Resume: CHB002's folder taken from its task, the same command again.
gone=$(ls -d "cat out"/task-*/CHB002 2>/dev/null || true)
kept=$(ls -d "cat out"/task-*/WPWS 2>/dev/null || true)
[ -d "$gone" ] && [ -d "$kept" ] || { fail "cluster: no task folder of CHB002 ('$gone') or of WPWS ('$kept')"; finish slurm; }
before=$(stat -c %y "$kept/report.html")
rm -rf "$gone" "cat out/summary.tsv" "cat out/index.html" "cat out/flatfile.csv"
label=resumed
cluster_run "$@"
[ -f "$gone/report.html" ] || fail "resumed: CHB002 was not run again"
[ "$(stat -c %y "$kept/report.html")" = "$before" ] || fail "resumed: WPWS, complete, was run again"
same resumed

echo "slurm checks done in $(($(date +%s) - started)) s"
finish slurm
