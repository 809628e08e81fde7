#!/usr/bin/env bash
# run_fuzzer.sh FUZZER SECONDS WORKDIR SEEDS: a short run of one fuzz target
# on its seeds; new inputs go to WORKDIR, crashes fail the run. The same
# random seed every time, and a generous time per input, so that a run on a
# busy machine fails only for a real fault. (Long runs use -timeout=10.)
set -euo pipefail
fuzzer=$1 seconds=$2 work=$3 seeds=$4
rm -rf "$work"
mkdir -p "$work/corpus" "$work/artifacts"
exec "$fuzzer" -max_total_time="$seconds" -max_len=1048576 -timeout=30 -seed=1 \
  -rss_limit_mb=2048 -malloc_limit_mb=512 -handle_xfsz=0 -print_final_stats=1 \
  -artifact_prefix="$work/artifacts/" "$work/corpus" "$seeds"
