#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Seeds of import_sac_fuzz in OUT: the real SAC files of the test data, a
# copy cut to 64 samples (NPTS patched), the same in big-endian order, a
# header alone and a file cut inside its samples.
#
#   fuzz/seeds-import_sac.sh OUT
set -euo pipefail
out=${1:?usage: fuzz/seeds-import_sac.sh OUT}
root=$(cd "$(dirname "$0")/.." && pwd)
src=$root/tests/data/import/raw/sac/CJ_T001230
mkdir -p "$out"
for f in "$src"/*.sac; do
  base=$(basename "$f" .sac)
  cp "$f" "$out/$base"
  head -c 632 "$f" > "$out/$base-header"
  head -c 1000 "$f" > "$out/$base-cut"
  # NPTS (bytes 316..319, little-endian) = 64, then 64 samples.
  head -c $((632 + 256)) "$f" > "$out/$base-64"
  printf '\x40\x00\x00\x00' | dd of="$out/$base-64" bs=1 seek=316 conv=notrunc status=none
done
# The 64-sample files in big-endian order: every word outside the text
# fields (bytes 440..631) reversed.
if command -v python3 >/dev/null 2>&1; then
  for f in "$out"/*-64; do
    python3 - "$f" "$f-be" <<'PY'
import sys
b = bytearray(open(sys.argv[1], 'rb').read())
for at in range(0, len(b) - 3, 4):
    if not 440 <= at < 632:
        b[at:at + 4] = b[at:at + 4][::-1]
open(sys.argv[2], 'wb').write(b)
PY
  done
fi
