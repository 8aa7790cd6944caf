# Sourced by fuzz/seeds-*.sh: keep_seed DIR stores standard input in DIR
# under the hash of its content (one file per distinct seed), through a
# temporary name so that a half-written seed never counts.
keep_seed() {
  local tmp
  tmp=$(mktemp "$1/.new-XXXXXX")
  cat > "$tmp"
  mv "$tmp" "$1/$(sha1sum < "$tmp" | cut -c1-40)"
}

# seed_with_selector BYTE (after `out` is set): standard input stored as a
# seed in $out, prefixed with the byte BYTE (two hex digits) with which the
# target picks its reader.
seed_with_selector() {
  { printf "\\x$1"; cat; } | keep_seed "$out"
}
