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
  # The host window and, beside it, the rule editor, the interval box as it was answered
  # and the about window; the docked run's host window is standin_host_docked.png.
  if [ -e "$shots/standin_host.png" ] && [ -e "$shots/rule_editor.png" ] && [ -e "$shots/input_box.png" ] &&
     [ -e "$shots/about.png" ]; then
    convert "$shots/standin_host.png" \
      \( "$shots/rule_editor.png" \( "$shots/input_box.png" "$shots/about.png" -background white -gravity North \
         -splice 0x10 \) -background white -gravity West -append -splice 10x0 \) \
      -background white -gravity North +append +repage "$shots/main_job.png" || true
  fi
  log "screenshots in $shots"
  exit $status
fi
"$root/scripts/wine-run" "$wineprefix" "$host_exe" "$@"
