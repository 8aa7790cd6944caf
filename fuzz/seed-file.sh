# Sourced by fuzz/seeds-*.sh: keep_seed DIR stores standard input in DIR
# under the hash of its content (one file per distinct seed), through a
# temporary name so that a half-written seed never counts.
keep_seed() {
  local tmp
  tmp=$(mktemp "$1/.new-XXXXXX")
  cat > "$tmp"
  mv "$tmp" "$1/$(sha1sum < "$tmp" | cut -c1-40)"
}
