#!/usr/bin/env bash
# Checks the house rules first (every include keeps the layer table of docs/include-rules.txt; every source is
# formatted as .clang-format says, scripts/format-tree.sh formats them), then builds everything under
# AddressSanitizer and UndefinedBehaviorSanitizer (tests, benchmarks, fuzz targets) and runs the whole suite in
# phases: the unit suites with a short run of every benchmark, the display suites under Xvfb, and each fuzz target
# for a bounded time. It says at its start about how long a cold run takes here and names each phase as it
# begins; every line it prints fits 100 columns (scripts/fit-lines.py), a failing test's own output apart. It
# ends by naming the folder of the windows' pictures the tests saved.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build/ci}
jobs=${TDL_TEST_JOBS:-$(nproc)}
fuzz_seconds=${TDL_FUZZ_SECONDS:-60}

# A cold run's work, measured on this project's machine: about 80 CPU-minutes to build the sanitized tree from
# nothing (no compiler cache) and about 60 test-minutes of unit suites and benchmarks, both shared among the
# cores; the display suites one at a time, a minute or two; then the fuzz targets, TDL_FUZZ_SECONDS each, as many
# at once as there are cores.
build_cpu_minutes=80
unit_test_minutes=60
display_minutes=2
fuzz_targets=$(find fuzz -maxdepth 1 -name '*.cpp' | wc -l)
fuzz_minutes=$(((fuzz_targets + jobs - 1) / jobs * fuzz_seconds / 60))
tests_minutes=$(((unit_test_minutes + jobs - 1) / jobs + display_minutes + fuzz_minutes))
echo "test.sh: about $(((build_cpu_minutes + jobs - 1) / jobs + tests_minutes)) minutes on $jobs cores when nothing is" \
     "built yet, about $tests_minutes over a built tree"

phase() {
  echo "test.sh: [$1/4] $2"
}

phase 1 "build: packages, house rules, then the sanitized build in $build"
# Installing packages prints long lines; they are folded to the width (nothing else is here before Python).
bash scripts/deps.sh 2>&1 | fold -w 100
python3 scripts/check-includes.py
bash scripts/check-format.sh
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
      -DTDL_SANITIZE=ON -DTDL_BENCH=ON -DTDL_FUZZ=ON -DTDL_FUZZ_SECONDS="$fuzz_seconds" 2>&1 |
  python3 scripts/fit-lines.py build "configuring $build"
cmake --build "$build" -j"$jobs" 2>&1 | python3 scripts/fit-lines.py build "building $build"
fit_lines=$PWD/scripts/fit-lines.py
cd "$build"
# Every picture the tests save goes into one folder of the build, emptied first so that it holds this run's.
export TDL_PICTURE_DIR="$PWD/pictures"
rm -rf "$TDL_PICTURE_DIR"
mkdir -p "$TDL_PICTURE_DIR"

status=0
run_tests() {
  ctest --output-on-failure -j"$jobs" --timeout 1500 "$@" | python3 "$fit_lines" tests ||
    status=1
}
phase 2 "unit suites and benchmarks"
run_tests -LE 'display|fuzz'
phase 3 "display suites, under Xvfb one at a time"
run_tests -L display
phase 4 "fuzz targets, $fuzz_seconds s each"
run_tests -L fuzz
echo "Pictures of the windows under test ($(find "$TDL_PICTURE_DIR" -name '*.png' | wc -l)): $TDL_PICTURE_DIR"
exit "$status"
