# Shared by the project's commands: paths, the build trees, which Windows code this
# machine runs, and a display.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_root=${ZORVANE_BUILD_DIR:-$root/build}
native_dir=$build_root/native
win32_dir=$build_root/win32
win64_dir=$build_root/win64
jobs=$(nproc 2>/dev/null || echo 2)

log() { printf '== %s\n' "$*"; }

# How this machine runs 32-bit code, decided by trying (scripts/runs-32bit-code): runs32_how
# is natively, emulated or no; runs32 is 1 for the first two, else 0; runs32_why says how
# it was found. The tree whose programs the main job and the long runs use (run_dir, its
# prefix run_prefix, run_bits) is the 32-bit product wherever 32-bit code runs, natively or
# emulated, the 64-bit tree only where none does. The setup may bring an emulator, so this
# is asked again after it (find_32bit_code).
find_32bit_code() {
  runs32=0
  runs32_why=$("$root/scripts/runs-32bit-code") && runs32=1
  runs32_how=${runs32_why%%:*}
  if [ "$runs32" -eq 1 ]; then
    run_dir=$win32_dir run_bits=32
  else
    run_dir=$win64_dir run_bits=64
  fi
  run_prefix=$run_dir/wineprefix
}
find_32bit_code

say_machine() {
  log "32-bit code on this machine: $runs32_why"
}

# setup: what the project needs installed, then how 32-bit code runs now.
setup() {
  local before=$runs32_why
  log "setup"
  "$root/scripts/setup.sh"
  find_32bit_code
  [ "$runs32_why" = "$before" ] || log "32-bit code on this machine, after the setup: $runs32_why"
}

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

# configure_windows <bits>: the 32- or 64-bit Windows tree.
configure_windows() {
  local dir=$win32_dir processor=i686
  [ "$1" = 64 ] && dir=$win64_dir processor=x86_64
  cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-$processor.cmake" >/dev/null
}

# Both Windows trees are built on every machine: cross-compiling runs no 32-bit code, and
# the 32-bit tree's build steps that run a Windows program run 64-bit ones.
configure_and_build() {
  log "native build"
  cmake -S "$root" -B "$native_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$native_dir" -j "$jobs"
  log "64-bit Windows build"
  configure_windows 64
  cmake --build "$win64_dir" -j "$jobs"
  log "32-bit Windows build"
  configure_windows 32
  cmake --build "$win32_dir" -j "$jobs"
}

# register_components: the host's library and the plug-in in the prefix of run_dir.
register_components() {
  "$root/scripts/register-components" "$run_dir" "$run_dir/bin/VELTTypeLib.dll" "$run_dir/bin/Zorvane.dll"
}

# For a long run of one Wine program: the setup, the DLL of the tree this machine runs, the
# host's library and the given targets, a display, the wineserver, both components
# registered.
build_and_register() {
  say_machine
  setup
  log "$run_bits-bit Windows build"
  configure_windows "$run_bits"
  cmake --build "$run_dir" -j "$jobs" --target zorvane_dll_tree VELTTypeLib "$@"
  ensure_display
  start_wineserver "$run_dir"
  register_components
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

# start_wineserver <tree>...: one wineserver per tree's prefix, alive across many short
# runs. A tree whose Wine this machine cannot run is passed over.
started_prefixes=()
start_wineserver() {
  local dir
  for dir in "$@"; do
    "$dir/wine-run" "$dir/wineprefix" cmd /c exit 0 >/dev/null 2>&1 || continue
    WINEPREFIX=$dir/wineprefix wineserver -p 120 || true
    started_prefixes+=("$dir/wineprefix")
  done
}

cleanup() {
  local prefix
  for prefix in "${started_prefixes[@]}"; do
    WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  done
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
