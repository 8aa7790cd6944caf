# SPDX-License-Identifier: GPL-3.0-or-later
# What the shell tests share. Sourced, not run, after `set -eu`:
#
#   . "$(dirname "$0")/../lib.sh"
#
#   enter_scratch NAME       a new temporary folder wavefft-NAME.XXXXXX, removed
#                            on exit, becomes the current folder ($work)
#   fail MESSAGE             reports a failed check ("FAIL: MESSAGE") and
#                            counts it in $fails; the test goes on
#   finish WHAT              ends the test: exit status 1 and the count when
#                            a check failed, else "all WHAT checks passed"
#   is_usage_error PROGRAM FILE
#                            true when FILE holds a refused command line of
#                            PROGRAM in the one style of every command:
#                            "NAME: REASON", the lines `PROGRAM --help` starts
#                            with up to its first empty line (the synopsis),
#                            then "Try 'NAME --help' for more information."

enter_scratch() {
  work=$(mktemp -d "${TMPDIR:-/tmp}/wavefft-$1.XXXXXX")
  trap 'rm -rf "$work"' EXIT
  cd "$work"
}

fails=0
fail() {
  echo "FAIL: $*"
  fails=$((fails + 1))
}

finish() {
  if [ "$fails" -ne 0 ]; then
    echo "$fails checks failed"
    exit 1
  fi
  echo "all $1 checks passed"
}

is_usage_error() {
  usage_name=$(basename "$1")
  head -n 1 "$2" | grep -q "^$usage_name: ." &&
    [ "$(sed '1d;$d' "$2")" = "$("$1" --help </dev/null | sed '/^$/,$d')" ] &&
    [ "$(tail -n 1 "$2")" = "Try '$usage_name --help' for more information." ]
}
