#!/usr/bin/env bash
# Builds everything and runs Zorvane in the stand-in host: the 32-bit host and plug-in
# wherever this machine runs 32-bit code, natively or emulated; the 64-bit pair only where
# it runs none.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
trap cleanup EXIT

say_machine
setup
log "the stand-in host and the plug-in that run here: $run_bits-bit"
configure_and_build
ensure_display
start_wineserver "$run_dir"
log "main job ($run_bits-bit)"
register_components
host_exe=$run_dir/bin/standin_host.exe
# No display of our own (ensure_display started Xvfb) or CI: the headless scenario.
if [ $# -eq 0 ] && { [ -n "$xvfb_pid" ] || [ -n "${CI:-}" ]; }; then
  shots=$build_root/screenshots
  mkdir -p "$shots"
  status=0
  "$run_dir/wine-run" "$run_prefix" "$host_exe" --scenario --screenshots "Z:$shots" || status=$?
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
"$run_dir/wine-run" "$run_prefix" "$host_exe" "$@"
