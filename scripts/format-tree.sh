#!/usr/bin/env bash
# Formats in place, as .clang-format says, every source that check-format.sh checks.
# Usage: format-tree.sh [<tree>]   (CLANG_FORMAT names another clang-format)
set -euo pipefail
source "$(dirname "$0")/format-sources.sh"
format_sources "${1:-$(dirname "$0")/..}" -i
echo "format: every source under $(pwd) is formatted"
