#!/usr/bin/env bash
# A signed Zorvane.dll still registers, loads and answers: in a fresh prefix of its kind,
# regsvr32 registers the host's type library and the DLL, a script client creates the plug-in
# by its programmatic identifier and reads its name, and regsvr32 /u lets it go.
# Usage: signed_dll_answers.sh <wine-run> <prefix> <win32|win64> <VELTTypeLib.dll> <signed Zorvane.dll> <client.vbs>
set -euo pipefail

wine_run=$1 prefix=$2 arch=$3 velt=$4 dll=$5 client=$6
export WINEDEBUG=-all
winpath() { printf 'Z:%s' "${1//\//\\}"; }
stop_wine() { WINEPREFIX=$prefix wineserver -k 2>/dev/null || true; }

stop_wine
rm -rf "$prefix"
trap stop_wine EXIT
# Programs by their Linux path, so that wine-run sees their kind (and skips a 32-bit one
# where no 32-bit code runs).
code=0
"$wine_run" --arch "$arch" "$prefix" cmd /c exit 0 || code=$?
[ "$code" -eq 0 ] || exit "$code"
system=$prefix/drive_c/windows/system32

w() { "$wine_run" "$prefix" "$@"; }
w "$system/regsvr32.exe" /s "$(winpath "$velt")" || { echo "FAIL: regsvr32 VELTTypeLib.dll"; exit 1; }
w "$system/regsvr32.exe" /s "$(winpath "$dll")" || { echo "FAIL: regsvr32 of the signed Zorvane.dll"; exit 1; }
answer=$(w "$system/cscript.exe" //nologo "$(winpath "$client")" | tr -d '\r')
if [ "$answer" != "PluginName: Zorvane" ]; then
  echo "FAIL: the client printed: $answer"
  exit 1
fi
w "$system/regsvr32.exe" /s /u "$(winpath "$dll")" || { echo "FAIL: regsvr32 /u of the signed Zorvane.dll"; exit 1; }
echo "$arch: the signed DLL registered, was created by a client and answered '$answer'"
stop_wine
rm -rf "$prefix"
