#!/usr/bin/env bash
# Formats in place, as .clang-format says, every source that check-format.sh checks.
# Usage: format-tree.sh [<tree>]   (CLANG_FORMAT names another clang-format)
set -euo pipefail
scripts=$(cd "$(dirname "$0")" && pwd)
cd "${1:-$scripts/..}"
clang_format=${CLANG_FORMAT:-clang-format}
files=$(mktemp)
trap 'rm -f "$files"' EXIT
bash "$scripts/format-files.sh" >"$files"
xargs -0 -r -n 64 -P "$(nproc)" "$clang_format" --style=file -i <"$files"
echo "format: $(tr -cd '\0' <"$files" | wc -c) sources formatted under $(pwd)"
