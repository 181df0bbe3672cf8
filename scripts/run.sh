#!/usr/bin/env bash
# Runs the analyzer on the built-in simulated machine. Where an X display answers, the program itself opens
# its main window there (through the display host) and runs until the user closes it. Elsewhere a capture
# session of the mouse and the stick is driven through the live capture document's own commands by the
# harness in tools/run-capture, run from the folder it was called from; its files land in build/run/session/,
# and arguments go to it (--seconds <n>, --out <folder>, --help; a relative --out is taken from the caller's
# folder). Builds just what it runs (a release build without tests).
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

# A display answers when DISPLAY names one that a client can open (xdpyinfo, where it is installed, says).
display_answers() {
  [ -n "${DISPLAY:-}" ] || return 1
  if command -v xdpyinfo >/dev/null 2>&1; then
    xdpyinfo >/dev/null 2>&1
  fi
}
if display_answers; then
  cmake --build "$build" --target Tindaloft -j"${TDL_RUN_JOBS:-$(nproc)}"
  exec "$build/app/main/Tindaloft"
fi
cmake --build "$build" --target run_capture -j"${TDL_RUN_JOBS:-$(nproc)}"
cd "$caller"
exec "$build/tools/run-capture/run_capture" --out "$build/session" "$@"
