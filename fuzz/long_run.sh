#!/usr/bin/env bash
# long_run.sh BUILD WORKDIR TARGET:SECONDS...: long fuzz runs, one target after
# another, each on a corpus kept in WORKDIR/corpus/TARGET (so runs add up),
# with the seeds of BUILD (make test-asan makes them). Crashes and slow
# inputs (over 10 seconds) land in WORKDIR/artifacts/TARGET; each run's
# wall, user and system seconds go to WORKDIR/times.txt.
set -uo pipefail
build=$(realpath "$1") work=$2
shift 2
mkdir -p "$work"
cd "$work"
for t in "$@"; do
  name=${t%%:*} secs=${t##*:}
  mkdir -p "corpus/$name" "artifacts/$name"
  TIMEFORMAT="$name %R %U %S"
  { time nice -n 10 "$build/bin/$name" -max_total_time="$secs" -max_len=1048576 -timeout=10 \
      -rss_limit_mb=2048 -malloc_limit_mb=512 -handle_xfsz=0 -print_final_stats=1 \
      -artifact_prefix="artifacts/$name/" "corpus/$name" "$build/fuzz/seeds" >"$name.log" 2>&1; } \
    2>>times.txt
done
