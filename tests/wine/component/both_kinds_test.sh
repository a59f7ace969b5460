#!/usr/bin/env bash
# Both kinds of Zorvane.dll registered on 64-bit Windows share the interface keys of
# _clsVELTPlugIn, by which COM builds the proxies for a host in another apartment. Removing
# one kind's registration must leave them to the other: after each step the kinds still
# registered are reached from the multithreaded apartment (the apartment test program of
# each kind), in a fresh 64-bit prefix copied from a template kept here.
# Usage: both_kinds_test.sh <64-bit tree's wine-run> <work dir>
#        <32-bit Zorvane.dll> <32-bit VELTTypeLib.dll> <32-bit apartment test program>
#        <64-bit Zorvane.dll> <64-bit VELTTypeLib.dll> <64-bit apartment test program>
if ! why=$("$(dirname "$0")/../../../scripts/runs-32bit-code"); then
  echo "wine-run: skipped: this machine runs no 32-bit code ($why)"
  exit 77
fi
set -euo pipefail
wine_run=$1 work=$2
declare -A dll=([32]=$3 [64]=$6) velt_dll=([32]=$4 [64]=$7) client=([32]=$5 [64]=$8)
template=$work/template-win64
prefix=$work/prefix
export WINEDEBUG=-all

source "$(dirname "$0")/prefix_script.sh"
trap 'WINEPREFIX=$prefix wineserver -k 2>/dev/null || true' EXIT
# regsvr32 <32|64> [switches] <file>: the regsvr32 of that kind.
regsvr32() {
  local system=system32
  [ "$1" = 32 ] && system=syswow64
  w "$prefix/drive_c/windows/$system/regsvr32.exe" "${@:2}" >/dev/null 2>&1 ||
    fail "the $1-bit regsvr32 ${*:2}: exit code $?"
}

copy_of_template win64 "$template"

# expect_reached <32|64>...: a host of each kind given reaches the plug-in from the
# multithreaded apartment.
expect_reached() {
  local bits out
  for bits in "$@"; do
    if ! out=$(w "${client[$bits]}" 2>&1); then
      fail "$step: the $bits-bit host no longer reaches the plug-in from the multithreaded apartment:"
      printf '%s\n' "$out" | tr -d '\r' | sed -n '/Failure/,/FAILED/p' | head -n 16
    elif [[ $out != *"[  PASSED  ] 1 test"* ]]; then
      fail "$step: the $bits-bit apartment test ran no test: $out"
    fi
  done
}

step="both kinds registered"
for bits in 32 64; do
  regsvr32 $bits /s "$(winpath "${velt_dll[$bits]}")"
  regsvr32 $bits /s "$(winpath "${dll[$bits]}")"
done
expect_reached 32 64
# A step: which kind's regsvr32 with which switches, then the kinds a host must still reach.
while IFS='|' read -r bits switches reached; do
  step="regsvr32 $switches of the $bits-bit DLL"
  regsvr32 "$bits" $switches "$(winpath "${dll[$bits]}")"
  expect_reached $reached
done <<EOF
32|/s /u|64
32|/s|32 64
64|/s /u|32
64|/s|32 64
EOF

finish "both kinds registered, either removed" "$prefix"
