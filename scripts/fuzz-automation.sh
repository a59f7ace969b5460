#!/usr/bin/env bash
# The long run of the automation fuzzer: builds the Windows tree, registers the
# components and drives the real Zorvane.dll as a host that does everything wrong, seed
# after seed (the first taken from the time; all printed, each in a process of its own),
# for the given time. Prints the figures (seeds, steps, calls made, the distinct result
# codes, what was done) and exits non-zero when a seed breaks a rule, crashes or hangs;
# that seed's call that broke and the command that reruns it alone are in the output.
# The test suite runs the same program for about a minute, with fixed seeds.
# Usage: scripts/fuzz-automation.sh [MINUTES]   (default 10)
set -euo pipefail
source "$(dirname "$0")/lib.sh"
trap cleanup EXIT

minutes=$(minutes_argument "${1:-}")

build_and_register zorvane_automation_fuzz

out=$build_root/fuzz-automation
mkdir -p "$out"
seed_seconds=$(( minutes < 2 ? minutes * 60 : 120 ))
log "automation fuzz: $minutes min, $seed_seconds s a seed"
# To a file: a wineserver left running could hold a pipe open. English separators, as
# the input box answers are written for the user's own separator either way.
status=0
LC_ALL=en_US.UTF-8 "$run_dir/wine-run" "$run_prefix" "$run_dir/bin/zorvane_automation_fuzz.exe" \
  --time-seed --more-seeds --seconds $((minutes * 60)) --seed-seconds $seed_seconds --hang 60 \
  >"$out/fuzz.raw" 2>&1 || status=$?
tr -d '\r' <"$out/fuzz.raw" >"$out/fuzz.txt"
grep -E '^seeds:|^seed [0-9]+:|^automation fuzz|^ [0-9A-F]|^  [a-zA-Z]|^FUZZ FAILURE|^FAILED|^rerun' "$out/fuzz.txt" ||
  tail -n 60 "$out/fuzz.txt"
log "full output in $out/fuzz.txt"
exit $status
