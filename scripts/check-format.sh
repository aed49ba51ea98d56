#!/usr/bin/env bash
# check-format.sh [SOURCE_DIR]: fails when a C++ file under src/, tests/, tools/ or
# bench/ differs from what clang-format makes of it with the repository's
# .clang-format. A missing clang-format is a failure, not a skip.
set -euo pipefail
top=${1:-$(cd "$(dirname "$0")/.." && pwd)}
if ! command -v clang-format >/dev/null 2>&1; then
  echo "error: clang-format is not installed (scripts/install-deps.sh installs it)" >&2
  exit 1
fi
cd "$top"
files=()
while IFS= read -r -d '' f; do
  files+=("$f")
done < <(find src tests bench tools \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z)
if [ ${#files[@]} -eq 0 ]; then
  echo "error: no C++ files found under $top" >&2
  exit 1
fi
clang-format --style=file --dry-run -Werror "${files[@]}"
echo "${#files[@]} files formatted as .clang-format asks"
