#!/usr/bin/env bash
# Builds everything and runs every test this machine can run: native, then the 64-bit
# Windows tree under 64-bit Wine, then the 32-bit tree under 32-bit Wine wherever this
# machine runs 32-bit code, natively or emulated; where it runs none, the 32-bit tree's
# checks that run no 32-bit code (its files read by 64-bit programs) and its other tests
# reported skipped.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
trap cleanup EXIT

say_machine
setup
configure_and_build
ensure_display
start_wineserver "$win64_dir" "$win32_dir"

status=0
declare -a summary=()
# suite <name> <command...>: runs one suite, records its outcome for the summary.
suite() {
  local name=$1
  shift
  log "$name"
  if "$@"; then
    summary+=("passed   $name")
  else
    summary+=("FAILED   $name")
    status=1
  fi
}
# ctest_suite <name> <tree>: a Windows tree's tests; the summary names those skipped.
ctest_suite() {
  local name=$1 dir=$2 skipped
  suite "$name" run_ctest "$dir"
  skipped=$(sed -n 's/.*Test *#[0-9]*: \([^ ]*\) \.*\**Skipped.*/\1/p' "$dir/ctest-output.txt" | tr '\n' ' ')
  if [ -n "$skipped" ]; then
    summary+=("         skipped (no 32-bit code here): $skipped")
  fi
}
run_ctest() {
  ctest --test-dir "$1" --output-on-failure -j "$jobs" 2>&1 | tee "$1/ctest-output.txt"
}

suite "native tests" ctest --test-dir "$native_dir" --output-on-failure -j "$jobs"
fuzz_number_reader() {
  "$root/fuzz/run.sh" "${ZORVANE_FUZZ_SECONDS:-30}" >"$build_root/fuzz.log" 2>&1 || {
    tail -n 40 "$build_root/fuzz.log"; return 1; }
  grep -E '^stat::number_of_executed_units' "$build_root/fuzz.log" || true
}
suite "fuzzing the number reader (${ZORVANE_FUZZ_SECONDS:-30} s)" fuzz_number_reader
ctest_suite "64-bit Windows tests under 64-bit Wine" "$win64_dir"
if [ "$runs32_how" = natively ]; then
  ctest_suite "32-bit Windows tests under 32-bit Wine" "$win32_dir"
elif [ "$runs32_how" = emulated ]; then
  ctest_suite "32-bit Windows tests under 32-bit Wine, emulated" "$win32_dir"
else
  ctest_suite "32-bit Windows tree: the checks that run no 32-bit code" "$win32_dir"
fi

log "summary"
say_machine
printf '%s\n' "${summary[@]}"
if [ "$runs32" -eq 0 ]; then
  echo "not run: the 32-bit tree's tests that run its programs under 32-bit Wine (this machine runs no 32-bit code)"
fi
exit $status
