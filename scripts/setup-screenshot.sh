#!/usr/bin/env bash
# Builds, then photographs the setup's first page in German for the README. The setup runs
# in a Wine prefix of its own on an Xvfb display of its own, so nothing else is in the picture.
# Usage: scripts/setup-screenshot.sh [png], by default docs/images/setup-first-page.png.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
out=$(realpath -m "${1:-$root/docs/images/setup-first-page.png}")

setup
configure_and_build
settings=$win32_dir/tests/wine/setup/setup_test_settings.sh
"$root/tests/wine/setup/setup_test.sh" "$settings" template
"$root/tests/wine/setup/setup_test.sh" "$settings" screenshot "$out"
