#!/usr/bin/env bash
# Runs every benchmark of the build.
set -euo pipefail
build=${1:-build/dev}
for b in "$build"/bin/*_bench; do
  echo "== $(basename "$b")"
  "$b" "${@:2}"
done
