#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# wavefft-batch's answer-file form on generated records: two sound ones, one
# with a non-numeric value and one too long for the transform, then a
# program that dies of a signal. Checks summary.tsv, the folders and the exit
# statuses. WAVEFFT_BATCH is the program (or scripts/wavefft-batch, which
# starts the built one).
#
#   answer_file_test.sh WAVEFFT_BATCH WAVEFFT MAKE_SAMPLE
set -eu
batch=$1 wavefft=$2 make_sample=$3

. "$(dirname "$0")/../lib.sh"
enter_scratch batch
mkdir records
"$make_sample" records/quake.txt
head -n 1026 records/quake.txt >records/short.txt
# Record 5 of the broken one holds "abc" in place of its first value.
sed '7s/^\(0\.040\) [^ ]*/\1 abc/' records/quake.txt >records/broken.txt
grep -q '^0.040 abc ' records/broken.txt || { echo "FAIL: could not make the broken record"; exit 1; }
# 131073 records: one more than the longest transform.
awk 'NR <= 2 { print; next } { line[++n] = $0 } END { for (i = 0; i < 131073; i++) print line[i % n + 1] }' \
  records/quake.txt >records/long.txt
printf '0\n1\n0.1 0.2 20 25\n1\n0\n1\nvel.csv\n\n' >answers.txt

# The same run by hand, to compare the batch's files with.
mkdir direct
(cd direct && { echo ../records/quake.txt; cat ../answers.txt; } | "$wavefft" >console.txt)

tab=$(printf '\t')
check_run() {
  out=$1 rc=$2 label=$3
  [ "$rc" -eq 1 ] || fail "$label: exit status $rc, expected 1 (not every record normal)"
  sum=$out/summary.tsv
  [ -f "$sum" ] || { fail "$label: no summary.tsv"; return; }
  [ "$(wc -l <"$sum")" -eq 5 ] || fail "$label: summary has $(wc -l <"$sum") lines, expected 5"
  [ "$(sed -n 1p "$sum")" = "record${tab}status${tab}exit${tab}diagnostic" ] || fail "$label: header '$(sed -n 1p "$sum")'"
  [ "$(sed -n 2p "$sum")" = "records/quake.txt${tab}normal${tab}0${tab}" ] || fail "$label: line 2 '$(sed -n 2p "$sum")'"
  [ "$(sed -n 3p "$sum")" = "records/short.txt${tab}normal${tab}0${tab}" ] || fail "$label: line 3 '$(sed -n 3p "$sum")'"
  line=$(sed -n 4p "$sum")
  [ "$(echo "$line" | cut -f 1,2)" = "records/broken.txt${tab}diagnostic" ] || fail "$label: line 4 '$line'"
  code=$(echo "$line" | cut -f 3)
  [ "$code" -gt 128 ] || fail "$label: the broken record's exit status $code is not that of an abort"
  [ "$(echo "$line" | cut -f 4)" = "invalid number: incomprehensible list input" ] || fail "$label: diagnostic '$line'"
  [ "$(sed -n 5p "$sum")" = "records/long.txt${tab}stopped-too-long${tab}0${tab}" ] || fail "$label: line 5 '$(sed -n 5p "$sum")'"

  # Each record in its own folder, with the run's own files.
  for f in amp3.csv vel.csv fort.99; do
    cmp -s "direct/$f" "$out/quake.txt/$f" || fail "$label: quake.txt/$f differs from a run by hand"
  done
  [ "$(wc -l <"$out/short.txt/vel.csv")" -eq 513 ] || fail "$label: short.txt/vel.csv has $(wc -l <"$out/short.txt/vel.csv") lines"
  [ ! -e "$out/broken.txt/amp3.csv" ] || fail "$label: the broken record got a spectrum"
  [ "$(wc -l <"$out/broken.txt/fort.99")" -eq 4 ] || fail "$label: broken.txt/fort.99 does not hold the 4 records before the bad one"
  [ "$(tail -n 1 "$out/long.txt/wavefft.stdout")" = '  NT>2**17 !!!!!' ] || fail "$label: long.txt did not stop at the limit"
  [ ! -e "$out/long.txt/amp3.csv" ] || fail "$label: the long record got a spectrum"
  # The records are read where they are: nothing is written next to them.
  [ "$(ls records | tr '\n' ' ')" = "broken.txt long.txt quake.txt short.txt " ] || fail "$label: files appeared among the records"
}

if "$batch" -j 2 -o out -p "$wavefft" answers.txt \
  records/quake.txt records/short.txt records/broken.txt records/long.txt >log.txt 2>&1; then
  rc=0
else
  rc=$?
fi
check_run out "$rc" batch
grep -q '^2 normal$' log.txt || fail "no tally in '$(cat log.txt)'"

# A program that dies of SIGKILL: status signal.
printf '#!/bin/sh\nkill -KILL $$\n' >dies
chmod +x dies
if "$batch" -o sig -p ./dies answers.txt records/short.txt >/dev/null 2>&1; then rc=0; else rc=$?; fi
[ "$rc" -eq 1 ] || fail "signal: exit status $rc"
[ "$(sed -n 2p sig/summary.tsv)" = "records/short.txt${tab}signal${tab}137${tab}signal 9" ] ||
  fail "signal: line '$(sed -n 2p sig/summary.tsv)'"

# All normal: exit status 0.
if "$batch" -o good -p "$wavefft" answers.txt records/short.txt >/dev/null 2>&1; then rc=0; else rc=$?; fi
[ "$rc" -eq 0 ] || fail "one sound record: exit status $rc"

# A table that cannot replace summary.tsv (a folder of that name): status 1,
# the reason named, the folder and what it holds left alone.
mkdir -p blocked/summary.tsv
echo kept >blocked/summary.tsv/inside
if "$batch" -o blocked -p "$wavefft" answers.txt records/short.txt >/dev/null 2>err.txt; then rc=0; else rc=$?; fi
[ "$rc" -eq 1 ] || fail "summary.tsv a folder: exit status $rc"
grep -q "^wavefft-batch: cannot write .*blocked/summary.tsv: Is a directory$" err.txt ||
  fail "summary.tsv a folder: '$(cat err.txt)'"
[ "$(cat blocked/summary.tsv/inside)" = kept ] || fail "summary.tsv a folder: its file changed"
[ -z "$(find blocked -maxdepth 1 -name '.*' ! -name . )" ] || fail "summary.tsv a folder: a temporary file was left"

# Refused before anything runs: same file name twice, a bad -j, no record.
mkdir other
cp records/short.txt other/short.txt
refused() {
  label=$1
  shift
  if "$batch" -o refused -p "$wavefft" "$@" >/dev/null 2>err.txt; then rc=0; else rc=$?; fi
  [ "$rc" -eq 2 ] || fail "refused ($label): exit status $rc, expected 2"
  is_usage_error "$batch" err.txt || fail "refused ($label): not a usage error: '$(cat err.txt)'"
  [ ! -e refused/summary.tsv ] || fail "refused ($label): a summary was written"
}
refused "same file name twice" answers.txt records/short.txt other/short.txt
refused "-j 0" -j 0 answers.txt records/short.txt
refused "no record" answers.txt
refused "no answer file" no-such-answers.txt records/short.txt

finish batch
