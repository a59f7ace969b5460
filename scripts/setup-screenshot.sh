#!/usr/bin/env bash
# Builds, then photographs the setup's first page and the page where the mode is chosen, in
# German, for the README. The setup runs in a Wine prefix of its own on an Xvfb display of its
# own, so nothing else is in the picture.
# Usage: scripts/setup-screenshot.sh [first page png [mode page png]], by default
# docs/images/setup-first-page.png and docs/images/setup-mode-page.png.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
out=$(realpath -m "${1:-$root/docs/images/setup-first-page.png}")
mode_out=$(realpath -m "${2:-$root/docs/images/setup-mode-page.png}")

setup
configure_and_build
settings=$win32_dir/tests/wine/setup/setup_test_settings.sh
"$root/tests/wine/setup/setup_test.sh" "$settings" template
"$root/tests/wine/setup/setup_test.sh" "$settings" screenshot "$out"
"$root/tests/wine/setup/setup_test.sh" "$settings" screenshot "$mode_out" mode
