#!/usr/bin/env bash
# The benchmarks in one command: builds both trees, runs the native benchmark of the
# portable tick and the Wine benchmark of the real Zorvane.dll, prints every figure
# against its target and exits non-zero when one is missed. Not part of the tests.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
trap cleanup EXIT

setup
configure_and_build
ensure_display
start_wineserver "$run_dir"
register_components

out=$build_root/bench
mkdir -p "$out"
status=0

log "native benchmark: the portable tick against its port calls"
# Repetitions in random order, compared by their medians: other work on the machine
# then falls on ticks and floors alike.
"$native_dir/bench/native/zorvane_bench_native" --benchmark_min_time=0.1 --benchmark_repetitions=9 \
  --benchmark_enable_random_interleaving=true --benchmark_display_aggregates_only=true \
  --benchmark_out="$out/native.csv" --benchmark_out_format=csv >"$out/native.txt" 2>&1 || status=1
grep -E '_median|^Run on|^Load' "$out/native.txt" || cat "$out/native.txt"

log "Wine benchmark: the real DLL's Timer1 tick against its host calls"
# To a file: a wineserver left running could hold a pipe open.
wine_status=0
"$run_dir/wine-run" "$run_prefix" "$run_dir/bin/zorvane_bench_wine.exe" >"$out/wine.raw" 2>&1 || wine_status=$?
tr -d '\r' <"$out/wine.raw" >"$out/wine.txt"
cat "$out/wine.txt"
[ "$wine_status" -eq 0 ] || status=1

log "summary"
# Native tick / floor, median CPU time per tick. The floor's port is an array behind a
# virtual call, 1 to 2 ns a rule; the tick adds the table's virtual Row call, about as
# much again, so 2 is what a sound tick comes to and 2.5 leaves room for a busy machine
# (a tick that parsed its texts would be ten times the floor). With one rule the calls
# around the loop weigh as much as the rule itself: 3.
native_summary=$(awk -F, '
  /_median"?,/ {
    name = $1; gsub(/"/, "", name); sub(/_median$/, "", name)
    cpu[name] = $4
  }
  END {
    split("in_band out_of_band", scenarios, " ")
    split("1 512 32767", counts, " ")
    for (s = 1; s <= 2; ++s) for (c = 1; c <= 3; ++c) {
      tick = cpu["tick/" scenarios[s] "/" counts[c]]
      base = cpu["floor/" scenarios[s] "/" counts[c]]
      label = "native tick / floor, " counts[c] " rules " scenarios[s]
      if (tick == "" || base == "" || base <= 0) { printf "FAIL  %-62s not measured\n", label; continue }
      ratio = tick / base
      limit = (counts[c] == 1) ? 3 : 2.5
      printf "%s  %-62s %12.3f x  <= %g\n", (ratio <= limit) ? "PASS" : "FAIL", label, ratio, limit
    }
  }' "$out/native.csv" 2>/dev/null || true)
if [ -z "$native_summary" ]; then
  echo "FAIL  native benchmark printed no ratios"
  status=1
else
  echo "$native_summary"
  grep -q '^FAIL' <<<"$native_summary" && status=1
fi
wine_summary=$(grep -E '^(PASS|FAIL)' "$out/wine.txt" || true)
if [ -z "$wine_summary" ]; then
  echo "FAIL  Wine benchmark printed no results (exit status $wine_status)"
  status=1
else
  echo "$wine_summary"
fi
exit $status
