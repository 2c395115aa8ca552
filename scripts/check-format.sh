#!/usr/bin/env bash
# Fails, naming the files, when a C++ source is not in the layout of
# .clang-format. Fix with: clang-format -i FILE...
#
#   scripts/check-format.sh [CLANG_FORMAT]
set -euo pipefail
cd "$(dirname "$0")/.."
formatter=${1:-clang-format}
mapfile -d '' files < <(git ls-files -z '*.cpp' '*.h')
if ! report=$("$formatter" --dry-run --Werror "${files[@]}" 2>&1); then
  printf 'not in the .clang-format layout (clang-format -i FILE):\n' >&2
  grep -oE '^[^:]+\.(cpp|h):' <<<"$report" | sort -u | sed 's/:$//; s/^/  /' >&2
  exit 1
fi
echo "check-format: ${#files[@]} sources in the layout"
