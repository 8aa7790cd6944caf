# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by fuzz/seeds-*.sh with the script's arguments:
#   . "$(dirname "$0")/seed-file.sh" "$@"
# It takes OUT (the seed folder) from them and makes it, sets `out` and
# `root` (the top of the checkout), and defines
#   keep_seed DIR   stores standard input in DIR under the hash of its
#                   content (one file per distinct seed), through a temporary
#                   name so that a half-written seed never counts;
#   seed BYTE       keeps standard input in OUT, prefixed with the byte BYTE
#                   (two hex digits) with which a target picks its reader
#                   (a script whose target reads otherwise defines its own).
out=${1:?usage: $0 OUT}
root=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$out"

keep_seed() {
  local tmp
  tmp=$(mktemp "$1/.new-XXXXXX")
  cat > "$tmp"
  mv "$tmp" "$1/$(sha1sum < "$tmp" | cut -c1-40)"
}

seed() {
  { printf "\\x$1"; cat; } | keep_seed "$out"
}
