#!/usr/bin/env bash
# fuzz.sh build DIR            configures (once) and builds the fuzz targets with clang
# fuzz.sh run DIR TARGET SECS  runs fuzz_TARGET for SECS seconds, seeded from tests/data;
#                              a crash or a sanitizer report fails it (exit code non-zero)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
mode=$1; dir=$(mkdir -p "$2" && cd "$2" && pwd)
case $mode in
build)
  command -v clang++ >/dev/null || { echo "clang++ is missing: run scripts/install-deps.sh" >&2; exit 1; }
  if [ ! -f "$dir/build.ninja" ]; then
    CXX=clang++ cmake -S "$top/fuzz" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
  fi
  cmake --build "$dir" -j "$(nproc)"
  ;;
run)
  target=$3; seconds=$4
  corpus="$dir/corpus-$target"
  mkdir -p "$corpus"
  # Every file of tests/data seeds every target: each reads JSON.
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  export LSAN_OPTIONS=suppressions=$top/tests/support/lsan.supp:print_suppressions=0
  export QT_LOGGING_RULES="*=false"
  cd "$dir"
  "./fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 "$corpus" "$top/tests/data"
  ;;
*)
  echo "usage: $0 build DIR | run DIR TARGET SECONDS" >&2; exit 2 ;;
esac
