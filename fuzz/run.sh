#!/usr/bin/env bash
# Builds the number reader's fuzz target with clang and fuzzes it for a bounded time.
# Usage: fuzz/run.sh [SECONDS]   (default 60). Exits non-zero when a property fails or
# the sanitizers report; the failing input is left in the build directory.
set -euo pipefail

seconds=${1:-60}
if ! [[ $seconds =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: $0 [seconds]" >&2
  exit 2
fi

root=$(cd "$(dirname "$0")/.." && pwd)
dir=${ZORVANE_BUILD_DIR:-$root/build}/fuzz

cmake -S "$root/fuzz" -B "$dir" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$dir" -j 2

# A few seeds, one per format (first byte), so the run starts from real numbers.
corpus=$dir/corpus
mkdir -p "$corpus"
if [ -z "$(ls -A "$corpus")" ]; then
  printf '\000 1,234.5e-3 ' >"$corpus/english"
  printf '\001-1.234,5E+2' >"$corpus/german"
  printf '\002 7\240234,5' >"$corpus/nbsp"
  printf '\003+0.5' >"$corpus/same"
  printf '\004 1 234,5 ' >"$corpus/space"
  printf '\200\061\000\056\000\065\000' >"$corpus/wide"
fi

exec "$dir/number_text_fuzz" "$corpus" \
  -dict="$root/fuzz/number_text.dict" \
  -max_total_time="$seconds" \
  -artifact_prefix="$dir/" \
  -print_final_stats=1
