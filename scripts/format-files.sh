#!/usr/bin/env bash
# Names, NUL-separated, every source that .clang-format governs: the headers and sources of the product, its
# tests, benchmarks and fuzz targets, leaving out build folders and fuzz corpora. check-format.sh and
# format-tree.sh both take their files from here. Run from the top of the tree; fails when it finds no folder.
set -euo pipefail
folders=()
for folder in platform common driver app setup tools tests bench fuzz; do
    [ -d "$folder" ] && folders+=("$folder")
done
((${#folders[@]})) || { echo "format: no sources under $(pwd)" >&2; exit 1; }
find "${folders[@]}" \( -name build -o -name corpus \) -prune -o -type f \( -name '*.h' -o -name '*.cpp' \) -print0
