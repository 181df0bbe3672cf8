# What the script tests share, sourced first: the shell's strict mode, a work folder removed at the end, and the
# failures counted as they are told.
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# Ends the test: "<what>: all cases hold" when none failed; the number of failures is the exit code.
finish() {
    [ "$failures" -eq 0 ] && echo "$1: all cases hold"
    exit "$failures"
}
