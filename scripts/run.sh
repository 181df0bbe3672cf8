#!/usr/bin/env bash
# Runs the analyzer's main job on the built-in simulated machine: a capture session of the mouse and the
# stick, driven through the live capture document's own commands by the harness in tools/run-capture (the
# program has no display host yet). Builds just the harness (a release build without tests), then runs it
# from the folder it was called from; its files land in build/run/session/. Arguments go to the harness
# (--seconds <n>, --out <folder>, --help); a relative --out is taken from the caller's folder.
set -euo pipefail
caller=$(pwd)
cd "$(dirname "$0")/.."
root=$(pwd)
bash scripts/deps.sh
build=${BUILD_DIR:-build/run}
case "$build" in
  /*) ;;
  *) build="$root/$build" ;;
esac
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
      -DTDL_TESTS=OFF -DTDL_BENCH=OFF -DTDL_FUZZ=OFF -DTDL_SANITIZE=OFF "${launcher[@]}" >/dev/null
cmake --build "$build" --target run_capture -j"${TDL_RUN_JOBS:-$(nproc)}"
cd "$caller"
exec "$build/tools/run-capture/run_capture" --out "$build/session" "$@"
