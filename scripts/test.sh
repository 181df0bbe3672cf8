#!/usr/bin/env bash
# Builds everything under AddressSanitizer and UndefinedBehaviorSanitizer (tests, benchmarks, fuzz targets)
# and runs the whole suite: unit tests, a short run of every benchmark, and each fuzz target for a bounded time.
# First, the house rules: every include keeps the layer table (docs/include-rules.txt).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
python3 scripts/check-includes.py
build=${BUILD_DIR:-build/ci}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
      -DTDL_SANITIZE=ON -DTDL_BENCH=ON -DTDL_FUZZ=ON -DTDL_FUZZ_SECONDS="${TDL_FUZZ_SECONDS:-60}"
cmake --build "$build" -j"$(nproc)"
cd "$build"
ctest --output-on-failure -j"$(nproc)" --timeout 1500
