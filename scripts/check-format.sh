#!/usr/bin/env bash
# Checks that the sources of the product, its tests, benchmarks and fuzz targets are formatted as .clang-format
# says: clang-format names the first line it would change in each file, and the check fails when there is any.
# Usage: check-format.sh [<tree>]   (CLANG_FORMAT names another clang-format)
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"
clang_format=${CLANG_FORMAT:-clang-format}
folders=()
for folder in platform common driver app setup tools tests bench fuzz; do
    [ -d "$folder" ] && folders+=("$folder")
done
((${#folders[@]})) || { echo "format check: no sources under $(pwd)" >&2; exit 1; }
if find "${folders[@]}" \( -name build -o -name corpus \) -prune -o -type f \( -name '*.h' -o -name '*.cpp' \) \
        -print0 | xargs -0 -r -n 64 -P "$(nproc)" "$clang_format" --style=file --dry-run -Werror --ferror-limit=1; then
    echo "format check: every source is formatted"
else
    echo "format check: the files named above differ from .clang-format (run $clang_format -i on them)" >&2
    exit 1
fi
