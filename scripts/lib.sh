# Shared by the project's commands: paths, the two build trees and a display.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_root=${ZORVANE_BUILD_DIR:-$root/build}
native_dir=$build_root/native
win32_dir=$build_root/win32
wineprefix=$win32_dir/wineprefix
jobs=$(nproc 2>/dev/null || echo 2)

log() { printf '== %s\n' "$*"; }

# The minutes a long run is given: its first argument, 10 without one; a usage line and
# exit 2 for anything but a positive whole number.
minutes_argument() {
  local minutes=${1:-10}
  if ! [[ $minutes =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: $(basename "$0") [minutes]" >&2
    exit 2
  fi
  echo "$minutes"
}

configure_win32() {
  cmake -S "$root" -B "$win32_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-i686.cmake" >/dev/null
}

configure_and_build() {
  log "setup"
  "$root/scripts/setup.sh"
  log "native build"
  cmake -S "$root" -B "$native_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$native_dir" -j "$jobs"
  log "32-bit Windows build"
  configure_win32
  cmake --build "$win32_dir" -j "$jobs"
}

# For a long run of one Wine program: the setup, the Windows tree's DLL, the host's
# library and the given targets, a display, the wineserver, both components registered.
build_and_register() {
  log "setup"
  "$root/scripts/setup.sh"
  log "32-bit Windows build"
  configure_win32
  cmake --build "$win32_dir" -j "$jobs" --target zorvane_dll_tree VELTTypeLib "$@"
  ensure_display
  start_wineserver
  "$root/scripts/register-components" "$wineprefix" "$win32_dir/bin/VELTTypeLib.dll" "$win32_dir/bin/Zorvane.dll"
}

# Starts Xvfb when there is no display; the caller's exit stops it.
xvfb_pid=
ensure_display() {
  [ -n "${DISPLAY:-}" ] && return 0
  local n
  for n in $(seq 90 120); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 50); do
      [ -e "/tmp/.X11-unix/X$n" ] && break
      sleep 0.1
    done
    export DISPLAY=":$n"
    return 0
  done
  echo "no free display number for Xvfb" >&2
  return 1
}

# Keeps one wineserver for the prefix alive across many short runs.
start_wineserver() {
  "$root/scripts/wine-run" "$wineprefix" cmd /c exit 0 >/dev/null 2>&1 || true
  WINEPREFIX=$wineprefix wineserver -p 120 || true
}

cleanup() {
  WINEPREFIX=$wineprefix wineserver -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
