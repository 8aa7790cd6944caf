#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Command-line options of wavefft and wavefft-report: --help and --version
# print and exit 0, an unknown option is refused with a usage error on
# standard error and exit status 2, wavefft without arguments still starts its
# dialogue, and wavefft [options] RECORD refuses bad options before it
# writes anything.
#
#   cli_test.sh WAVEFFT WAVEFFT_REPORT VERSION
set -eu
wavefft=$1 report=$2 version=$3
. "$(dirname "$0")/../lib.sh"
enter_scratch cli

# call PROGRAM ARGS...: runs it with empty input; sets rc, out.txt, err.txt.
call() {
  if "$@" </dev/null >out.txt 2>err.txt; then rc=0; else rc=$?; fi
}

for prog in "$wavefft" "$report"; do
  name=$(basename "$prog")
  call "$prog" --help
  [ "$rc" -eq 0 ] || fail "$name --help: exit status $rc"
  [ "$(head -n 1 out.txt)" = "Usage: $name" ] || [ "$(head -n 1 out.txt | cut -d' ' -f1-2)" = "Usage: $name" ] ||
    fail "$name --help: first line '$(head -n 1 out.txt)'"
  grep -q -- '--version' out.txt || fail "$name --help does not mention --version"
  [ ! -s err.txt ] || fail "$name --help wrote to standard error"

  call "$prog" --version
  [ "$rc" -eq 0 ] || fail "$name --version: exit status $rc"
  [ "$(cat out.txt)" = "$name $version" ] || fail "$name --version printed '$(cat out.txt)', expected '$name $version'"
  [ ! -s err.txt ] || fail "$name --version wrote to standard error"

  for bad in --bogus -x; do
    call "$prog" "$bad"
    [ "$rc" -eq 2 ] || fail "$name $bad: exit status $rc, expected 2"
    [ ! -s out.txt ] || fail "$name $bad wrote to standard output"
    is_usage_error "$prog" err.txt || fail "$name $bad: not a usage error: '$(cat err.txt)'"
    head -n 1 err.txt | grep -q -- "$bad" || fail "$name $bad: the message does not name the argument"
  done
done

# --help and --version stand alone; a refused command line writes nothing
# and reads nothing.
for args in "--help --version" "--version x" "x --help" "--skip 1" "a b" "--cut 1 x" "--output amp3.csv x"; do
  # shellcheck disable=SC2086
  call "$wavefft" $args
  [ "$rc" -eq 2 ] || fail "wavefft $args: exit status $rc, expected 2"
  [ ! -s out.txt ] || fail "wavefft $args wrote to standard output"
  is_usage_error "$wavefft" err.txt || fail "wavefft $args: standard error '$(cat err.txt)'"
done
[ -z "$(ls | grep -v -e '^out.txt$' -e '^err.txt$')" ] || fail "refused command lines left files: $(ls)"
call "$wavefft" --help
for option in '--flip LIST' '--bandpass fL1,fL2,fH1,fH2' --integrate --double-integrate --differentiate \
  '--cut START,DURATION' '--skip K' '--output NAME' 'wavefft \[options\] RECORD'; do
  grep -q -- "$option" out.txt || fail "wavefft --help does not show '$option'"
done

# Without arguments: the first prompt, then the end of the input ends the run
# with the diagnostic of the file-name read, as always.
call "$wavefft"
[ "$(cat out.txt)" = "
Enter input file of waveform data" ] || fail "wavefft without arguments: output '$(cat out.txt)'"
# (The shell may add its own note on the abort after the four lines.)
head -n 1 err.txt | grep -q ': end of file$' && sed -n 4p err.txt | grep -qx 'lately reading sequential formatted external IO' ||
  fail "wavefft without arguments: standard error '$(cat err.txt)'"
[ "$rc" -ne 0 ] && [ "$rc" -ne 2 ] || fail "wavefft without arguments: exit status $rc"

# wavefft-report: more than one folder, an option without its value.
call "$report" a b
[ "$rc" -eq 2 ] || fail "wavefft-report a b: exit status $rc"
call "$report" --out
[ "$rc" -eq 2 ] || fail "wavefft-report --out: exit status $rc"
grep -q 'needs a value' err.txt || fail "wavefft-report --out: message '$(cat err.txt)'"
# --unit takes one of four words; anything else is refused before any file is read.
call "$report" --unit furlong_s2 no-such-folder
[ "$rc" -eq 2 ] || fail "wavefft-report --unit furlong_s2: exit status $rc"
[ "$(cat err.txt)" = "wavefft-report: --unit furlong_s2: not one of g, gal, m_s2, mm_s2
Usage: wavefft-report [--out FILE] [--wave NAME] [--unit U] [--input FILE]
                      [--warnings FILE] [--measures MDIR]... [DIR]
Try 'wavefft-report --help' for more information." ] ||
  fail "wavefft-report --unit furlong_s2: message '$(cat err.txt)'"
call "$report" --input
[ "$rc" -eq 2 ] || fail "wavefft-report --input: exit status $rc"
call "$report" --help
grep -q -- '--unit U' out.txt && grep -q -- '--input FILE' out.txt || fail "wavefft-report --help does not list --unit and --input"

finish option
