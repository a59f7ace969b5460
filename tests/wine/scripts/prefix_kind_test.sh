#!/usr/bin/env bash
# A tree's wine-run makes prefixes of the tree's kind whatever the caller's shell exports
# for its own Wine: WINEARCH of the other kind, WINEPREFIX naming another prefix, and a
# WINELOADER and WINESERVER that would fail. The fresh prefix must be of the tree's kind,
# a program must run in it (or be skipped, where this machine runs no 32-bit code and the
# tree is the 32-bit one), and the other prefix must stay untouched.
# Usage: prefix_kind_test.sh <tree's wine-run> <win32|win64> <scratch folder>
set -euo pipefail
wine_run=$1 kind=$2 scratch=$3
other=win64
[ "$kind" = win64 ] && other=win32

rm -rf "$scratch"
mkdir -p "$scratch"
prefix=$scratch/prefix
decoy=$scratch/users-own-prefix
trap 'WINEPREFIX=$prefix wineserver -k 2>/dev/null || true' EXIT

status=0
output=$(env WINEARCH=$other WINEPREFIX="$decoy" WINELOADER=/bin/false WINESERVER=/bin/false \
           "$wine_run" "$prefix" cmd /c exit 7 2>&1) || status=$?
if [ "$status" -eq 77 ] && grep -q '^wine-run: skipped: ' <<<"$output"; then
  # Nothing of the other kind may have been made in its place.
  if [ -e "$prefix/system.reg" ]; then
    echo "FAIL: wine-run skipped the program but made $(sed -n 's/^#arch=//p' "$prefix/system.reg") prefix $prefix"
    exit 1
  fi
  echo "$output"
  exit 0
fi
problems=0
if [ "$status" -ne 7 ]; then
  echo "FAIL: cmd /c exit 7 in the fresh prefix gave exit code $status:"
  echo "$output"
  problems=1
fi
made=$(sed -n 's/^#arch=//p' "$prefix/system.reg" 2>/dev/null || true)
if [ "$made" != "$kind" ]; then
  echo "FAIL: the fresh prefix is '${made:-none}', not $kind, with WINEARCH=$other exported"
  problems=1
fi
if [ -e "$decoy" ]; then
  echo "FAIL: the caller's WINEPREFIX ($decoy) was created or used"
  problems=1
fi
[ "$problems" -eq 0 ] && echo "a $kind prefix, made and used with WINEARCH=$other, WINEPREFIX, WINELOADER and WINESERVER exported"
exit "$problems"
