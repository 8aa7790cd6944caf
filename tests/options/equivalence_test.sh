#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# wavefft with its answers given as options against the dialogue typed the
# same answers: for every combination both run in fresh folders and must
# leave the same files, standard output, standard error and exit status,
# byte for byte. The options form gets, on standard input, the answers of a
# different run, which it must not read. A record that does not exist or is
# a folder, and an output in a folder that does not exist, are refused by
# the options form before anything is written (where the dialogue would
# create the record or run to an abort): those rows check the refusal.
#
#   equivalence_test.sh WAVEFFT MAKE_SAMPLE RECORDS_DIR
set -eu
wavefft=$1 make_sample=$2 records=$3
. "$(dirname "$0")/../lib.sh"
enter_scratch options
ulimit -c 0 2>/dev/null || true  # an aborted run must not leave a core file behind

# Records, in recs/: a sample cut to 1200 samples, the same with a bad number
# in its tenth record, 131073 samples (one too many), a folder, and copies
# under names that look like options.
mkdir recs
"$make_sample" recs/sample.txt
head -n 1202 recs/sample.txt >recs/small.txt
sed '12s/^\([^ ]*\) [^ ]*/\1 x1/' recs/small.txt >recs/badnum.txt
awk 'BEGIN { print "Ev St acceleration g"; print "TIME"
  for (i = 0; i < 131073; i++) { printf "%.2f %d", i / 100, i % 7 - 3; for (k = 2; k <= 42; k++) printf " %d", k == 11 ? i % 5 : 0; print "" } }' >recs/long.txt
mkdir recs/dir.txt
cp recs/small.txt recs/-rec.txt
cp recs/small.txt recs/-
for r in SYLMAR_1994_AFTERSHOCK ELCENTRO_1940; do
  if [ ! -f "$records/$r.txt" ]; then
    echo "FAIL: the real record $records/$r.txt is missing"
    exit 1
  fi
  ln -s "$records/$r.txt" "recs/$r.txt"
done
printf 'recs-decoy.txt\n0\n0\n0\n0\n0\ndecoy.csv\n\n' >decoy

compared=0 folders=

# run DIR INPUT ARGS...: runs wavefft in DIR; DIR.out, DIR.err, DIR.status.
run() {
  dir=$1 input=$2
  shift 2
  (cd "$dir" && if "$wavefft" "$@" <"$input" >"../$dir.out" 2>"../$dir.err"; then echo 0; else echo $?; fi) \
    >"$dir.status" 2>/dev/null
}

# compare KIND RECORD ARGS...: the options form (ARGS, then RECORD) against
# the dialogue typed $answers (built by the caller). KIND "ok" also demands
# status 0 and the waveform file $wave; "bad" any outcome, as long as both
# forms agree.
compare() {
  kind=$1 record=$2
  shift 2
  rm -rf a b a.* b.*
  mkdir a b
  # $folders: blank-separated folders that the run needs in its folder.
  for d in $folders; do mkdir -p "a/$d" "b/$d"; done
  if [ -e "recs/$record" ]; then ln -s "$work/recs/$record" "a/$record" && ln -s "$work/recs/$record" "b/$record"; fi
  printf '%s' "$answers" >answers
  case $((compared % 3)) in
    0) run a "$work/decoy" "$@" -- "$record" ;;
    *) case $record in
         -*) run a "$work/decoy" "$@" -- "$record" ;;
         *) run a "$work/decoy" "$record" "$@" ;;
       esac ;;
  esac
  run b "$work/answers"
  compared=$((compared + 1))
  same=yes
  for f in out err status; do cmp -s "a.$f" "b.$f" || same=no; done
  diff -r a b >/dev/null 2>&1 || same=no
  if [ "$same" = no ]; then
    fail "wavefft $* $record: options and dialogue differ (status $(cat a.status)/$(cat b.status))"
  elif [ "$kind" = ok ] && { [ "$(cat a.status)" != 0 ] || [ ! -f "a/$wave" ]; }; then
    fail "wavefft $* $record: status $(cat a.status), waveform file '$wave' $([ -f "a/$wave" ] && echo present || echo missing)"
  fi
}

# refused RECORD REASON ARGS...: the options form (ARGS, then RECORD) is a
# usage error naming REASON ("wavefft: REASON"), status 2, nothing on
# standard output, no file made in its folder and standard input unread
# (what it leaves of the input file is the whole of it).
refused() {
  record=$1 reason=$2
  shift 2
  rm -rf a a.*
  mkdir a
  if [ -e "recs/$record" ]; then ln -s "$work/recs/$record" "a/$record"; fi
  ls -A a >a.before
  (cd a && { if "$wavefft" "$@" -- "$record" >../a.out 2>../a.err; then echo 0; else echo $?; fi >../a.status; cat >../a.rest; }) <decoy
  compared=$((compared + 1))
  [ "$(cat a.status)" = 2 ] || fail "wavefft $* $record: status $(cat a.status), expected 2 (refused)"
  [ "$(head -n 1 a.err)" = "wavefft: $reason" ] || fail "wavefft $* $record: '$(head -n 1 a.err)', expected 'wavefft: $reason'"
  is_usage_error "$wavefft" a.err || fail "wavefft $* $record: not a usage error: '$(cat a.err)'"
  [ ! -s a.out ] || fail "wavefft $* $record: standard output '$(cat a.out)'"
  [ "$(ls -A a)" = "$(cat a.before)" ] || fail "wavefft $* $record: left '$(ls -A a | tr '\n' ' ')' in its folder"
  cmp -s a.rest decoy || fail "wavefft $* $record: read standard input"
}

# combo KIND RECORD FLIP BAND MENU CUT SKIP OUTPUT: one combination, "-" for
# an option not given (MENU 0 likewise); the dialogue answers are written
# here line by line in the order the program asks them.
combo() {
  kind=$1 record=$2 flip=$3 band=$4 menu=$5 cut=$6 skip=$7 output=$8
  eq=$((compared % 2))  # every other combination gives its values after '='
  set --
  answers="$record
"
  if [ "$flip" = - ]; then answers="${answers}0
"; else
    answers="${answers}1
"
    for k in 1 2 3; do
      case ",$flip," in *",$k,"*) answers="${answers}1
" ;; *) answers="${answers}0
" ;; esac
    done
    if [ $eq = 1 ]; then set -- "$@" "--flip=$flip"; else set -- "$@" --flip "$flip"; fi
  fi
  if [ "$band" = - ]; then answers="${answers}0
"; else
    answers="${answers}1
$(echo "$band" | tr , ' ')
"
    if [ $eq = 1 ]; then set -- "$@" "--bandpass=$band"; else set -- "$@" --bandpass "$band"; fi
  fi
  answers="${answers}$menu
"
  case $menu in
    1) set -- "$@" --integrate ;;
    2) set -- "$@" --double-integrate ;;
    3) set -- "$@" --differentiate ;;
  esac
  if [ "$cut" = - ]; then answers="${answers}0
"; else
    answers="${answers}1
${cut%%,*}
${cut#*,}
"
    if [ $eq = 1 ]; then set -- "$@" "--cut=$cut"; else set -- "$@" --cut "$cut"; fi
  fi
  if [ "$skip" = - ]; then answers="${answers}0
"; else
    answers="${answers}$skip
"
    set -- "$@" --skip "$skip"
  fi
  if [ "$output" = - ]; then wave=wave.csv; else wave=$output; set -- "$@" --output "$output"; fi
  answers="${answers}$wave

"
  compare "$kind" "$record" "$@"
}

# Every option alone, with odd but valid values.
combo ok small.txt - - 0 - - -
for f in 1 2 3 3,1 1,2,3 2,2; do combo ok small.txt "$f" - 0 - - -; done
for b in 0.1,0.2,20,25 0,0,5,5 1e-1,2.5D-1,1.5E1,2d1 0,0,0,0 .5,5.,+30,1E3 -0,0,1,60; do combo ok small.txt - "$b" 0 - - -; done
for m in 1 2 3; do combo ok small.txt - - "$m" - - -; done
for c in -0.05,1 0,0 1.5,3 2,100 0.7,-0 1e9,1 -5,2; do combo ok small.txt - - 0 "$c" - -; done
for s in 0 1 3 007 2147483646; do combo ok small.txt - - 0 - "$s" -; done
folders=a,b
for o in vel.csv ' lead.csv' 'a,b/../c d.csv' 'a,b/ x.csv' x-y.txt; do combo ok small.txt - - 0 - - "$o"; done
folders=

# Pairs.
combo ok small.txt 1,3 0.1,0.2,20,25 0 - - -
combo ok small.txt - 0.1,0.2,20,25 1 - - -
combo ok small.txt - - 2 -0.05,1 - -
combo ok small.txt - - 0 0,0 3 -
combo ok small.txt - - 0 - 1 vel.csv
combo ok small.txt 2 - 3 - - -
combo ok small.txt - 0,0,5,5 0 1.5,3 - -
combo ok small.txt 1,2,3 - 0 - 2 -

# A seeded pseudo-random sample of the whole product.
seed=20261209
pick() {
  seed=$(((seed * 1103515245 + 12345) % 2147483648))
  k=$((seed / 65536 % $# + 1))
  eval "picked=\${$k}"
}
n=0
while [ $n -lt 40 ]; do
  pick - 1 2 3 1,2 1,3 2,3 1,2,3; f=$picked
  pick - 0.1,0.2,20,25 0,0,5,5 0.5,1,8,12 1e-1,2.5D-1,1.5E1,2d1; b=$picked
  pick 0 1 2 3; m=$picked
  pick - -0.05,1 0,0 1.5,3 2,100; c=$picked
  pick - 0 1 3; s=$picked
  pick - vel.csv out.txt; o=$picked
  combo ok small.txt "$f" "$b" "$m" "$c" "$s" "$o"
  n=$((n + 1))
done

# Records named like options, after "--".
combo ok -rec.txt 1 - 1 - - -
combo ok - - 0.1,0.2,20,25 0 - 1 -

# Failure rows: the same diagnostic, the same files, the same status.
combo bad badnum.txt - 0.1,0.2,20,25 1 - - -
combo bad long.txt 1,2 0.1,0.2,20,25 1 0,5 1 vel.csv

# Refused by the options form alone.
refused missing.txt "RECORD 'missing.txt' does not exist"
refused dir.txt "RECORD 'dir.txt' is a folder" --flip 1
refused small.txt "--output: 'nodir/w.csv' is in the folder 'nodir', which does not exist" --output nodir/w.csv
refused small.txt "--output: 'nodir/ lead.csv' is in the folder 'nodir', which does not exist" --double-integrate --skip 1 --output 'nodir/ lead.csv'
refused small.txt "--output: 'small.txt/w.csv' is in 'small.txt', which is not a folder" --output small.txt/w.csv

# Real records (tests/data/records).
for r in SYLMAR_1994_AFTERSHOCK ELCENTRO_1940; do
  combo ok "$r.txt" - 0.1,0.2,20,25 1 - 1 vel.csv
  combo ok "$r.txt" 1,3 0.05,0.1,25,30 2 2,10 - dis.csv
  combo ok "$r.txt" - - 3 - 3 -
done

echo "$compared combinations compared"
if [ "$fails" -ne 0 ]; then
  echo "$fails combinations differ"
  exit 1
fi
