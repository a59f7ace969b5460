#!/usr/bin/env bash
# own_prefix_run.sh <wine-run> <template prefix | -> <work folder> PROGRAM [ARGS...]: runs a
# Windows program in a prefix and on an X display of its own, so that it can run beside
# other tests: a Wine process reads the user locale its wineserver was last given, and the
# active window is the display's. The prefix is a copy of the template (the components
# registered there), made in the work folder and removed afterwards; with "-" for the
# template the work folder is itself the prefix, kept (a prefix made for one test, such
# as one with a resolution of its own).
set -euo pipefail
wine_run=$1 template=$2 work=$3
shift 3

if [ "$template" = - ]; then
  prefix=$work
  keep=1
else
  mkdir -p "$work"
  prefix=$(mktemp -d "$work/prefix.XXXXXX")
  keep=0
  # Where the template could not be made (no 32-bit code here), wine-run makes the prefix,
  # or reports the program skipped.
  if [ -f "$template/system.reg" ]; then
    cp -a "$template/." "$prefix"
  else
    rmdir "$prefix"
  fi
fi

display_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
xvfb_pid=$!
cleanup() {
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  kill "$xvfb_pid" 2>/dev/null || true
  rm -f "$display_file"
  [ "$keep" -eq 1 ] || rm -rf "$prefix"
}
trap cleanup EXIT
for _ in $(seq 100); do
  [ -s "$display_file" ] && break
  sleep 0.1
done
if [ ! -s "$display_file" ]; then
  echo "own_prefix_run: Xvfb did not start" >&2
  exit 1
fi
export DISPLAY=:$(cat "$display_file")

status=0
"$wine_run" "$prefix" "$@" || status=$?
exit "$status"
