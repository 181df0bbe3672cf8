#!/usr/bin/env bash
# Checks the house rules first (every include keeps the layer table of docs/include-rules.txt; every source is
# formatted as .clang-format says, scripts/format-tree.sh formats them), then builds everything under
# AddressSanitizer and UndefinedBehaviorSanitizer (tests, benchmarks, fuzz targets) and runs the whole suite:
# unit tests, a short run of every benchmark, and each fuzz target for a bounded time; it ends by naming the
# folder of the windows' pictures the tests saved.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
python3 scripts/check-includes.py
bash scripts/check-format.sh
build=${BUILD_DIR:-build/ci}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
      -DTDL_SANITIZE=ON -DTDL_BENCH=ON -DTDL_FUZZ=ON -DTDL_FUZZ_SECONDS="${TDL_FUZZ_SECONDS:-60}"
cmake --build "$build" -j"$(nproc)"
cd "$build"
# Every picture the tests save goes into one folder of the build, emptied first so that it holds this run's.
export TDL_PICTURE_DIR="$PWD/pictures"
rm -rf "$TDL_PICTURE_DIR"
mkdir -p "$TDL_PICTURE_DIR"
status=0
ctest --output-on-failure -j"$(nproc)" --timeout 1500 || status=$?
echo "Pictures of the windows under test ($(find "$TDL_PICTURE_DIR" -name '*.png' | wc -l)): $TDL_PICTURE_DIR"
exit "$status"
