#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the command blocks of the README that are marked runnable, in order,
# in a fresh copy of the checkout, as a new user would after cloning it. A
# block is runnable when the line just before its opening ```sh fence is
#   <!-- runnable -->
# Each block runs with bash -e from the top of the copy (so a failing
# command fails the block), with HOME in the work folder, so that an
# install into "$HOME/.local" stays there. Fails (status 1) on the first
# block that fails, printing the block and the end of its output; fails
# when no block is marked.
#
#   readme_test.sh SOURCE_DIR [WORK_DIR]
set -u
src=$(cd "${1:?usage: readme_test.sh SOURCE_DIR [WORK_DIR]}" && pwd)
work=${2:-$(mktemp -d)}
keep=${2:+yes}
trap '[ -z "$keep" ] && rm -rf "$work"' EXIT

# The copy: what git tracks and the files it does not ignore, without any
# build tree; a plain copy where the source is no git checkout.
copy="$work/checkout"
rm -rf "$copy" "$work/home"
mkdir -p "$copy" "$work/home"
if git -C "$src" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  (cd "$src" && git ls-files -z -co --exclude-standard | tar --null -T - -cf -) | tar -xf - -C "$copy" || exit 1
else
  (cd "$src" && tar --exclude='./build*' -cf - .) | tar -xf - -C "$copy" || exit 1
fi

# The blocks, one file each: block-01.sh, block-02.sh, ...
blocks="$work/blocks"
rm -rf "$blocks"
mkdir -p "$blocks"
awk -v dir="$blocks" '
  in_block && /^```/ { in_block = 0; close(file); next }
  in_block { print > file; next }
  /^```sh[ \t]*$/ && marked { n++; file = sprintf("%s/block-%02d.sh", dir, n); in_block = 1; printf "" > file }
  { marked = ($0 == "<!-- runnable -->") }
' "$src/README.md"

count=0
for block in "$blocks"/block-*.sh; do
  [ -f "$block" ] || continue
  count=$((count + 1))
  log="$work/$(basename "$block" .sh).log"
  if ! (cd "$copy" && HOME="$work/home" bash -e "$block") >"$log" 2>&1 </dev/null; then
    echo "FAIL: README block $count failed:"
    sed 's/^/    /' "$block"
    echo "  its output ends:"
    tail -n 30 "$log" | sed 's/^/    /'
    exit 1
  fi
  echo "ok: README block $count"
done
if [ "$count" -eq 0 ]; then
  echo "FAIL: the README marks no block <!-- runnable -->"
  exit 1
fi
echo "$count README blocks ran"
