#!/usr/bin/env bash
# Runs the analyzer on the built-in simulated machine. Where an X display answers, the program itself opens its
# main window there (through the display host) and runs until the user closes it. Elsewhere a capture session of
# the mouse and the stick is driven through the live capture document's own commands by the harness in
# tools/run-capture, run from the folder the command was called from. With --setup it starts the set-up program
# instead. Its own arguments are checked before anything is installed or built (--help lists them); it then builds
# just what it runs (a release build without tests), showing the build's lines only when something is built.
set -euo pipefail

usage() {
  cat <<'EOF'
usage: bash scripts/run.sh [--seconds <n>] [--out <folder>] [--desk <activities>]
       bash scripts/run.sh --setup
       bash scripts/run.sh --help

Runs the analyzer on the built-in simulated machine, building what it runs first (into build/run).
With a display (DISPLAY is set and the X server answers), the Tindaloft program opens its main
window there and runs until you close it. Without one, the run harness captures the mouse and the
USB stick, saves the capture, writes what a user would look at, and ends.

  --seconds <n>        how long the devices work while the capture runs, 1 to 600 (default: 3)
  --out <folder>       where the files go (default: build/run/session); a relative folder is taken
                       from the folder you run the command from. Its state/ keeps the machine's
                       registry and the program's settings between runs.
                       Both are for the run without a display: with one they are checked, then
                       left aside with a note (run with DISPLAY= for the headless run).
  --desk <activities>  what the simulated desk does while the analyzer runs: a comma-separated
                       list of idle, mouse, keyboard, stick, printer, plug (--desk idle: only the
                       idle traffic). Default: every activity with a display; without one, the
                       idle traffic beside the run's own mouse and stick.
  --setup              builds the set-up program and starts it: it needs a display, asks before it
                       installs, and caches the package under ~/.local/share/tindaloft/Windows/.
  --help, -h           this text.

A run without a display writes into <folder>/unfinished/ and moves its files in place only when it
ends well; Ctrl+C stops it cleanly and leaves the previous run's files unchanged.
Exit codes: 0 done, 1 failed, 2 a wrong argument (or --setup without a display), 130 or 143
interrupted.
EOF
}

refuse() {
  echo "run.sh: $1" >&2
  echo "usage: bash scripts/run.sh [--seconds <n>] [--out <folder>] [--desk <activities>] | --setup | --help" >&2
  exit 2
}

activities=(idle mouse keyboard stick printer plug)
seconds="" out="" desk="" setup=0
while (($#)); do
  option=$1
  case "$option" in
    -h | --help) usage; exit 0 ;;
    --setup) setup=1; shift; continue ;;
    --seconds=* | --out=* | --desk=*) value=${option#*=}; option=${option%%=*}; shift ;;
    --seconds | --out | --desk)
      # A missing value is an empty one, which each option refuses in its own words.
      value=${2-}; shift $(($# >= 2 ? 2 : 1)) ;;
    *) refuse "unknown argument \"$option\"" ;;
  esac
  case "$option" in
    --seconds)
      [[ $value =~ ^[1-9][0-9]*$ ]] && ((${#value} <= 3 && value <= 600)) ||
        refuse "--seconds takes a whole number from 1 to 600, not \"$value\""
      seconds=$value ;;
    --out)
      [[ -n $value && $value != -* ]] || refuse "--out takes a folder, not \"$value\""
      out=$value ;;
    --desk)
      # The program's own words and grammar: names separated by commas, blanks around a name allowed.
      names="${activities[*]}"
      rest=$value,
      while [[ -n $rest ]]; do
        activity=${rest%%,*}
        rest=${rest#*,}
        activity=${activity#"${activity%%[![:blank:]]*}"}
        activity=${activity%"${activity##*[![:blank:]]}"}
        [[ -n $activity ]] ||
          refuse "--desk takes a list of activities separated by commas; the activities are ${names// /, }"
        [[ " $names " == *" $activity "* ]] ||
          refuse "--desk: unknown activity \"$activity\"; the activities are ${names// /, }"
      done
      desk=$value ;;
  esac
done
if ((setup)) && [[ -n $seconds$out$desk ]]; then
  refuse "--setup takes no other option"
fi

caller=$(pwd)
cd "$(dirname "$0")/.."
root=$(pwd)
build=${BUILD_DIR:-build/run}
case "$build" in
  /*) ;;
  *) build="$root/$build" ;;
esac
folder=${out:-$build/session}
case "$folder" in
  /*) ;;
  *) folder="$caller/$folder" ;;
esac
[[ ! -e $folder || -d $folder ]] || refuse "--out names a file, not a folder: $folder"

# A display answers when DISPLAY names one that a client can open (xdpyinfo, where it is installed, says).
display_answers() {
  [ -n "${DISPLAY:-}" ] || return 1
  if command -v xdpyinfo >/dev/null 2>&1; then
    xdpyinfo >/dev/null 2>&1
  fi
}
display=0
if display_answers; then
  display=1
fi
if ((setup && !display)); then
  echo "run.sh: the set-up program shows its boxes on a display, and none answers here (DISPLAY)" >&2
  exit 2
fi

bash scripts/deps.sh
if [ ! -f "$build/build.ninja" ]; then
  launcher=()
  if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  fi
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER=clang \
        -DCMAKE_CXX_COMPILER=clang++ -DTDL_TESTS=OFF -DTDL_BENCH=OFF -DTDL_FUZZ=OFF -DTDL_SANITIZE=OFF \
        "${launcher[@]}" >/dev/null
fi

# Builds a target, its lines shown only when there is something to build (a build with nothing to do, or only
# the check of the source folders, stays silent).
build_target() {
  cmake --build "$build" --target "$1" -j"${TDL_RUN_JOBS:-$(nproc)}" 2>&1 |
    python3 scripts/fit-lines.py build "run.sh: building $2 in $build"
}

if ((setup)); then
  build_target setup "the set-up program"
  exec "$build/setup/setup"
fi
if ((display)); then
  if [[ -n $seconds$out ]]; then
    echo "run.sh: --seconds and --out are for the run without a display; the window runs until you close it" >&2
  fi
  build_target Tindaloft "the analyzer"
  exec "$build/app/main/Tindaloft" ${desk:+--desk "$desk"}
fi
build_target run_capture "the run harness"
cd "$caller"
exec "$build/tools/run-capture/run_capture" --out "$folder" --seconds "${seconds:-3}" ${desk:+--desk "$desk"}
