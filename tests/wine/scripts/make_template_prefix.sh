#!/usr/bin/env bash
# make_template_prefix.sh <wine-run> <template> DLL...: a fresh prefix with the DLLs
# registered, for tests that run in copies of it (own_prefix_run.sh). Its wineserver is
# stopped afterwards, so that the registry is on disk before anyone copies it.
set -euo pipefail
wine_run=$1 template=$2
shift 2
WINEPREFIX=$template wineserver -k 2>/dev/null || true
rm -rf "$template"
for dll in "$@"; do
  status=0
  output=$("$wine_run" "$template" regsvr32 /s "$dll" 2>&1) || status=$?
  if [ "$status" -eq 77 ]; then
    echo "$output"   # wine-run's skip line: this machine runs no such code
    exit 77
  fi
  if [ "$status" -ne 0 ]; then
    echo "regsvr32 failed for $dll ($status): $output" >&2
    exit 1
  fi
done
WINEPREFIX=$template wineserver -w
