#!/usr/bin/env bash
# build.sh DIR TYPE [extra cmake args...]: configures (once) and builds with ninja.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
dir=$1; type=$2; shift 2
export CCACHE_DIR=${CCACHE_DIR:-$top/.ccache}
if [ ! -f "$dir/build.ninja" ]; then
  cmake -S "$top" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" "$@"
fi
cmake --build "$dir" -j "$(nproc)"
