#!/usr/bin/env bash
# The format check passes on formatted sources and fails, naming the file, on a misformatted one in any folder it
# covers; folders it does not cover are left alone. Usage: FormatCheckTest.sh <tree>
set -euo pipefail
tree=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

check() { bash "$tree/scripts/check-format.sh" "$work"; }
cp "$tree/.clang-format" "$work/"
mkdir -p "$work/app/core" "$work/tests/app" "$work/build/gen"
cat >"$work/app/core/Tidy.cpp" <<'CPP'
#include "app/core/Tidy.h"

int Twice(int n) {
    return n * 2;
}
CPP
if ! check >"$work/out" 2>&1; then
    echo "FAIL: a formatted tree failed:"; cat "$work/out"; failures=$((failures + 1))
fi

# A generated file under build/ is no source of ours.
printf 'int  Generated( ){return 0 ;}\n' >"$work/build/gen/Generated.cpp"
if ! check >"$work/out" 2>&1; then
    echo "FAIL: a misformatted file under build/ failed the check:"; cat "$work/out"; failures=$((failures + 1))
fi

for file in app/core/Messy.cpp tests/app/MessyTest.cpp; do
    printf 'int  Messy( int n ){\n  return n*2 ;}\n' >"$work/$file"
    if check >"$work/out" 2>&1; then
        echo "FAIL: misformatted $file passed"; failures=$((failures + 1))
    elif ! grep -q "$file" "$work/out"; then
        echo "FAIL: the check did not name $file:"; cat "$work/out"; failures=$((failures + 1))
    fi
    rm "$work/$file"
done

[ "$failures" -eq 0 ] && echo "format check: all cases hold"
exit "$failures"
