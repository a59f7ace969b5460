#!/usr/bin/env bash
# Builds everything and runs Zorvane in the stand-in host.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
trap cleanup EXIT

configure_and_build
ensure_display
start_wineserver
log "main job"
"$root/scripts/register-components" "$wineprefix" "$win32_dir/bin/VELTTypeLib.dll" "$win32_dir/bin/Zorvane.dll"
host_exe=$win32_dir/bin/standin_host.exe
# No display of our own (ensure_display started Xvfb) or CI: the headless scenario.
if [ $# -eq 0 ] && { [ -n "$xvfb_pid" ] || [ -n "${CI:-}" ]; }; then
  shots=$build_root/screenshots
  mkdir -p "$shots"
  status=0
  "$root/scripts/wine-run" "$wineprefix" "$host_exe" --scenario --screenshots "Z:$shots" || status=$?
  if [ -e "$shots/standin_host.png" ] && [ -e "$shots/rule_editor.png" ]; then
    convert "$shots/standin_host.png" \( "$shots/rule_editor.png" -background white -gravity West -splice 10x0 \) \
      -background white -gravity North +append +repage "$shots/main_job.png" || true
  fi
  log "screenshots in $shots"
  exit $status
fi
"$root/scripts/wine-run" "$wineprefix" "$host_exe" "$@"
