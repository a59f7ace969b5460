#!/usr/bin/env bash
# The long soak run: builds the Windows tree and runs the reliability soak test under Wine
# for the given time: 512 rules at the shortest interval against channels that drift
# before every tick. Prints the ticks, corrections and resource figures; exits non-zero
# on a missed correction or growth. The test suite runs the same program for 30 s.
# Usage: scripts/soak.sh [MINUTES]   (default 10)
set -euo pipefail
source "$(dirname "$0")/lib.sh"
trap cleanup EXIT

minutes=$(minutes_argument "${1:-}")

build_and_register zorvane_reliability_soak_test

out=$build_root/soak
mkdir -p "$out"
log "soak: $minutes min"
# To a file: a wineserver left running could hold a pipe open.
status=0
ZORVANE_SOAK_SECONDS=$((minutes * 60)) \
  "$run_dir/wine-run" "$run_prefix" "$run_dir/bin/zorvane_reliability_soak_test.exe" \
  >"$out/soak.raw" 2>&1 || status=$?
tr -d '\r' <"$out/soak.raw" >"$out/soak.txt"
grep -E '^soak:|^\(|Failure|Expected|Which is|actual|^\[  (PASSED|FAILED)' "$out/soak.txt" || tail -n 40 "$out/soak.txt"
log "full output in $out/soak.txt"
exit $status
