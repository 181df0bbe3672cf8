#!/usr/bin/env bash
# Checks that the sources of the product, its tests, benchmarks and fuzz targets are formatted as .clang-format
# says: clang-format names the first line it would change in each file, and the check fails when there is any.
# Usage: check-format.sh [<tree>]   (CLANG_FORMAT names another clang-format)
set -euo pipefail
source "$(dirname "$0")/format-sources.sh"
if format_sources "${1:-$(dirname "$0")/..}" --dry-run -Werror --ferror-limit=1; then
    echo "format check: every source is formatted"
else
    echo "format check: the files named above differ from .clang-format (scripts/format-tree.sh formats them)" >&2
    exit 1
fi
