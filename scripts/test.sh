#!/usr/bin/env bash
# Builds everything and runs every test: native, then under 32-bit Wine.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
trap cleanup EXIT

configure_and_build
ensure_display
start_wineserver

status=0
log "native tests"
ctest --test-dir "$native_dir" --output-on-failure -j "$jobs" || status=1
log "fuzzing the number reader (${ZORVANE_FUZZ_SECONDS:-30} s)"
"$root/fuzz/run.sh" "${ZORVANE_FUZZ_SECONDS:-30}" >"$build_root/fuzz.log" 2>&1 || {
  status=1; tail -n 40 "$build_root/fuzz.log"; }
grep -E '^stat::number_of_executed_units' "$build_root/fuzz.log" || true
log "Windows tests under Wine"
ctest --test-dir "$win32_dir" --output-on-failure -j "$jobs" || status=1
exit $status
