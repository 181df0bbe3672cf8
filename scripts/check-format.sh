#!/usr/bin/env bash
# Checks that the sources of the product, its tests, benchmarks and fuzz targets are formatted as .clang-format
# says: clang-format names the first line it would change in each file, and the check fails when there is any.
# Usage: check-format.sh [<tree>]   (CLANG_FORMAT names another clang-format)
set -euo pipefail
scripts=$(cd "$(dirname "$0")" && pwd)
cd "${1:-$scripts/..}"
clang_format=${CLANG_FORMAT:-clang-format}
files=$(mktemp)
trap 'rm -f "$files"' EXIT
bash "$scripts/format-files.sh" >"$files"
if xargs -0 -r -n 64 -P "$(nproc)" "$clang_format" --style=file --dry-run -Werror --ferror-limit=1 <"$files"; then
    echo "format check: every source is formatted"
else
    echo "format check: the files named above differ from .clang-format (run scripts/format-tree.sh)" >&2
    exit 1
fi
