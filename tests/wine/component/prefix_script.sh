# Sourced by the component tests that run Windows programs in a fresh prefix of their own:
# set wine_run and prefix first. fail counts a problem and goes on; finish ends the test.
problems=0
fail() {
  echo "FAIL: $*"
  problems=$((problems + 1))
}

# Never the loops' tables on standard input.
w() { "$wine_run" "$prefix" "$@" </dev/null; }
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# copy_of_template <win32|win64> <template>: $prefix, a copy of a fresh prefix of that kind
# kept as the template (made again for another version of Wine).
copy_of_template() {
  local arch=$1 template=$2
  if [ ! -f "$template/system.reg" ] || [ "$(cat "$template.wine-version" 2>/dev/null)" != "$(wine --version)" ]; then
    rm -rf "$template"
    "$wine_run" --arch "$arch" "$template" cmd /c exit 0
    WINEPREFIX=$template wineserver -w
    wine --version >"$template.wine-version"
  fi
  rm -rf "$prefix"
  mkdir -p "$(dirname "$prefix")"
  cp -a "$template" "$prefix"
}

# finish <what> <scratch to remove when passed>: stops the prefix's programs, says how the
# test went and exits with 0 or 1.
finish() {
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  if [ "$problems" = 0 ]; then
    rm -rf "$2"
    echo "$1: passed"
    exit 0
  fi
  echo "$1: $problems problems"
  exit 1
}
