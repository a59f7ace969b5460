#!/usr/bin/env bash
# Builds everything and runs Zorvane in the stand-in host.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
trap cleanup EXIT

configure_and_build
ensure_display
start_wineserver
log "main job"
"$root/scripts/wine-run" "$wineprefix" "$win32_dir/host/clamp_demo.exe" "$@"
