#!/usr/bin/env bash
# The lines of the test command fit 100 columns: the build's progress and the tests' results are shortened in the
# middle, keeping what tells them apart; a build with nothing to do prints nothing; a compiler's message and a
# failing test's own output pass as they are. Usage: FitLinesTest.sh <tree>
source "$(dirname "$0")/ScriptTest.sh"
tree=$1
fit() { python3 "$tree/scripts/fit-lines.py" "$@"; }
# The lines longer than 100 columns, but for the one given.
too_long() { grep -vxF -- "$1" "$work/out" | awk 'length > 100' || true; }

long=app_ui_tests.LogListViewColumnsFixture/ColumnLayoutAcrossSavedSettings.EachColumnKeepsItsWidthWhenReopened/7
dots=$(printf '.%.0s' $(seq 240))
failure_output="[  FAILED  ] a failing test's own words may be as long as they are $dots"
cat >"$work/ctest" <<EOF
Test project /work/build/ci
      Start   1: platform_nt_tests.Pool.Tags
  1/412 Test   #1: platform_nt_tests.Pool.Tags $dots   Passed    0.01 sec
 12/412 Test  #12: $long ..***Failed    4.20 sec
$failure_output
 13/412 Test  #13: fuzz_CaptureFileLoad $dots***Timeout 1500.02 sec
 14/412 Test  #14: Kinds/EachWorkload.RunsItsSteps/mouse_moving  # GetParam() = 16-byte object <01-00 00-00> ...   Passed    2.04 sec

99% tests passed, 2 tests failed out of 412

The following tests FAILED:
	 12 - $long (Failed)
	 13 - fuzz_CaptureFileLoad (Timeout)
	 14 - Kinds/EachWorkload.RunsItsSteps/mouse_moving  # GetParam() = 16-byte object <01-00 00-00> (Failed)
EOF
fit tests <"$work/ctest" >"$work/out"
[ -z "$(too_long "$failure_output")" ] || fail "lines longer than 100 columns: $(too_long "$failure_output")"
grep -qxF -- "$failure_output" "$work/out" || fail "the failing test's own output was changed"
grep -q "Start" "$work/out" && fail "start lines were kept"
for says in '^    1/412 Passed  *0\.01 s  platform_nt_tests\.Pool\.Tags$' \
    '^   12/412 \*\*\*Failed  *4\.20 s  app_ui_tests\.LogList.*\.\.\..*WhenReopened/7$' \
    '^   13/412 \*\*\*Timeout  *1500\.02 s  fuzz_CaptureFileLoad$' \
    '^   14/412 Passed  *2\.04 s  Kinds/EachWorkload\.RunsItsSteps/mouse_moving$' \
    '^ *12 - app_ui_tests\.LogList.*\.\.\..*WhenReopened/7 (Failed)$' '^ *13 - fuzz_CaptureFileLoad (Timeout)$' \
    '^ *14 - Kinds/EachWorkload\.RunsItsSteps/mouse_moving (Failed)$'; do
    grep -q -- "$says" "$work/out" || fail "no line matches $says: $(cat "$work/out")"
done

# A build with nothing to do says nothing; one with work shows it under its header, each step cut to fit.
printf '%s\n' "[0/2] Re-checking globbed directories..." "ninja: no work to do." | fit build "building" >"$work/out"
[ -s "$work/out" ] && fail "a build with nothing to do printed: $(cat "$work/out")"
step="[1234/2345] Building CXX object tests/app/core/CMakeFiles/app_core_tests.dir/document/LongNameTest.cpp.o"
error="tests/app/core/document/LongNameTest.cpp:12:3: error: a compiler's message stays whole $dots"
printf '%s\n' "[0/2] Re-checking globbed directories..." "$step" "$error" | fit build "building build/ci" >"$work/out"
[ "$(head -1 "$work/out")" = "building build/ci" ] || fail "no header: $(cat "$work/out")"
grep -q '^\[1234/2345\] Building CXX object tests/.*\.\.\..*LongNameTest\.cpp\.o$' "$work/out" ||
    fail "the step was not shortened: $(cat "$work/out")"
grep -qxF -- "$error" "$work/out" || fail "the compiler's message was changed"
[ -z "$(too_long "$error")" ] || fail "build lines longer than 100 columns: $(too_long "$error")"

finish "fit-lines"
