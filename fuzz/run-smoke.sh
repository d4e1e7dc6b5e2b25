#!/usr/bin/env bash
# Runs every fuzz target of a build tree briefly over its seed corpus.
# Usage: fuzz/run-smoke.sh <build-dir> [seconds-per-target]
set -euo pipefail
build=$1
secs=${2:-10}
here=$(cd "$(dirname "$0")" && pwd)
status=0
for exe in "$build"/bin/*_fuzz; do
  name=$(basename "$exe")
  seeds=$here/corpus/${name%_fuzz}
  work=$(mktemp -d)
  echo "== $name (${secs}s)"
  # New inputs go to the scratch directory; the checked-in seeds stay untouched.
  if ! "$exe" -max_total_time="$secs" -timeout=10 -rss_limit_mb=2048 -print_final_stats=0 \
      "$work" ${seeds:+"$seeds"} 2>"$work.log"; then
    tail -40 "$work.log"
    status=1
  fi
  rm -rf "$work" "$work.log"
done
exit $status
