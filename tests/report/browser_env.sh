# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the browser tests: find_browser sets $browser to a headless
# Chromium, installing it with scripts/ensure-tools --browser when it is
# missing and this is root. When none can be had, the test is skipped
# (exit 77), except in continuous integration (CI set), where it fails with
# the reason, so that a browser test never goes missing silently.
#
#   . browser_env.sh; find_browser ENSURE_TOOLS
#   run_browser N ARGS...   headless run with a fresh profile $work/profile-N
#                           (window=W,H before it sets the window's size)
locate_browser() {
  for b in /usr/bin/chromium "$(command -v chromium 2>/dev/null || true)"; do
    if [ -n "$b" ] && [ -x "$b" ]; then
      echo "$b"
      return 0
    fi
  done
  return 1
}
find_browser() {
  if browser=$(locate_browser); then
    return 0
  fi
  why=$(bash "$1" --browser 2>&1) || true
  if browser=$(locate_browser); then
    return 0
  fi
  why=$(printf '%s' "$why" | tail -n 3 | tr '\n' ' ')
  if [ -n "${CI:-}" ]; then
    echo "FAIL: CI is set and no headless browser could be had: ${why:-scripts/ensure-tools --browser installed nothing}"
    exit 1
  fi
  echo "SKIP: no chromium here and it could not be installed: ${why:-scripts/ensure-tools --browser installed nothing}"
  exit 77
}

# One headless run of the browser found by find_browser, with its own
# profile folder under $work, the page's window $window (default 1320,1400:
# width,height in pixels), nothing fetched.
run_browser() {
  profile=$work/profile-$1
  shift
  timeout 180 "$browser" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync --disable-dev-shm-usage \
    --user-data-dir="$profile" --hide-scrollbars --window-size="${window:-1320,1400}" "$@"
}
