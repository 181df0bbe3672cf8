#!/usr/bin/env bash
# The run command's arguments as a newcomer meets them. Recording stand-ins for cmake, ninja, apt-get and
# dpkg-query come first on PATH: --help and every wrong argument are answered at once, in both modes, without any
# of them; right arguments reach the build and the program run as given, and a build with nothing to do prints no
# line of its own. Usage: RunArgumentsTest.sh <tree>
source "$(dirname "$0")/ScriptTest.sh"
tree=$1

# Each stand-in notes how it was called; cmake's build answers as ninja does when nothing is to be built, or
# builds one step when $work/work-to-do exists. The package query finds every package installed.
stubs=$work/stubs
mkdir -p "$stubs"
for tool in cmake ninja apt-get; do
    cat >"$stubs/$tool" <<EOF
#!/usr/bin/env bash
echo "$tool \$*" >>"$work/called"
if [ "$tool" = cmake ] && [ "\${1:-}" = --build ]; then
    echo "[0/2] Re-checking globbed directories..."
    if [ -e "$work/work-to-do" ]; then echo "[1/2] Building CXX object tools/run-capture/RunCapture.cpp.o"
    else echo "ninja: no work to do."; fi
fi
EOF
done
printf '#!/usr/bin/env bash\necho "dpkg-query $*" >>"%s/called"\necho "install ok installed"\n' "$work" \
    >"$stubs/dpkg-query"
# xdpyinfo answers: a display is there whenever DISPLAY is set.
printf '#!/usr/bin/env bash\nexit 0\n' >"$stubs/xdpyinfo"
chmod +x "$stubs"/*
export PATH="$stubs:$PATH"
unset DISPLAY

# The programs run.sh would start, which note their arguments, each in brackets: in a build folder of the
# test's own.
build=$work/build
mkdir -p "$build/tools/run-capture" "$build/app/main" "$build/setup"
for program in tools/run-capture/run_capture app/main/Tindaloft setup/setup; do
    printf '#!/usr/bin/env bash\n{ printf %%s %s; printf " [%%s]" "$@"; echo; } >>"%s/started"\n' \
        "$(basename "$program")" "$work" >"$build/$program"
    chmod +x "$build/$program"
done
touch "$build/build.ninja"
export BUILD_DIR=$build

run() { (cd "$work" && bash "$tree/scripts/run.sh" "$@" >"$work/out" 2>"$work/err"); }
untouched() { ! [ -e "$work/called" ] && ! [ -e "$work/started" ]; }

# --help: run.sh's own usage with the README's defaults, at once.
started=$(date +%s%N)
run --help && code=0 || code=$?
echo "run.sh --help took $((($(date +%s%N) - started) / 1000000)) ms"
[ "$code" -eq 0 ] || fail "--help exited $code"
for says in "usage: bash scripts/run.sh [--seconds <n>] [--out <folder>] [--desk <activities>]" \
    "--seconds <n>" "1 to 600 (default: 3)" "(default: build/run/session)" "--desk <activities>" \
    "idle, mouse, keyboard, stick, printer, plug" "Default: every activity with a display" "--setup" \
    "130 or 143"; do
    grep -qF -- "$says" "$work/out" || fail "--help does not say \"$says\""
done
grep -q "run_capture\|default: run-capture" "$work/out" && fail "--help shows the harness's own usage"
awk 'length > 100 { exit 1 }' "$work/out" || fail "--help has lines longer than 100 columns"
[ -s "$work/err" ] && fail "--help wrote to standard error: $(cat "$work/err")"
run -h || fail "-h exited $?"
untouched || fail "--help called: $(cat "$work/called" "$work/started" 2>/dev/null)"

# arguments | what the refusal says
touch "$work/a-file"
cases=(
    '--frobnicate|unknown argument "--frobnicate"'
    'session|unknown argument "session"'
    '--seconds|--seconds takes a whole number from 1 to 600, not ""'
    '--seconds 0|--seconds takes a whole number from 1 to 600, not "0"'
    '--seconds 601|not "601"'
    '--seconds 2x|not "2x"'
    '--seconds=|not ""'
    '--seconds 99999999999999999999|not "99999999999999999999"'
    '--out|--out takes a folder, not ""'
    '--out=|--out takes a folder, not ""'
    '--out --seconds|--out takes a folder, not "--seconds"'
    '--out a-file|--out names a file, not a folder: '"$work"'/a-file'
    '--desk mose|--desk: unknown activity "mose"; the activities are idle, mouse, keyboard, stick, printer, plug'
    '--desk|--desk takes a list of activities separated by commas; the activities are idle, mouse, keyboard,'
    '--desk=|--desk takes a list of activities separated by commas'
    '--desk idle,,stick|--desk takes a list of activities separated by commas'
    '--desk stick,|--desk takes a list of activities separated by commas'
    '--desk idle,Mouse|--desk: unknown activity "Mouse"'
    '--setup --seconds 3|--setup takes no other option'
)
for mode in headless display; do
    for c in "${cases[@]}"; do
        IFS='|' read -r arguments says <<<"$c"
        # shellcheck disable=SC2086  # the arguments are words
        if [ "$mode" = display ]; then DISPLAY=:99 run $arguments; else run $arguments; fi && code=0 || code=$?
        [ "$code" -eq 2 ] || fail "$mode: $arguments exited $code, not 2"
        grep -qF -- "$says" "$work/err" || fail "$mode: $arguments does not say \"$says\": $(cat "$work/err")"
        grep -q "^usage: bash scripts/run.sh" "$work/err" || fail "$mode: $arguments shows no usage"
    done
done
# The set-up program needs a display, and says so before anything is built.
run --setup && code=0 || code=$?
[ "$code" -eq 2 ] && grep -q "none answers" "$work/err" || fail "--setup without a display: $code $(cat "$work/err")"
untouched || fail "a refused argument called: $(cat "$work/called" "$work/started" 2>/dev/null)"

# Right arguments: a built tree is checked silently, and the program gets them as given.
run --seconds=5 --out there --desk "idle, stick" || fail "a headless run exited $?: $(cat "$work/err")"
grep -qxF "run_capture [--out] [$work/there] [--seconds] [5] [--desk] [idle, stick]" "$work/started" ||
    fail "the harness was started as: $(cat "$work/started")"
grep -q "^cmake --build $build --target run_capture" "$work/called" || fail "the harness was not built"
grep -q "apt-get" "$work/called" && fail "apt-get was called with every package installed"
[ -s "$work/out" ] || [ -s "$work/err" ] && fail "a build with nothing to do printed: $(cat "$work/out" "$work/err")"
rm -f "$work/started"
DISPLAY=:99 run --desk mouse --seconds 4 || fail "a display run exited $?"
grep -qxF "Tindaloft [--desk] [mouse]" "$work/started" || fail "the analyzer was started as: $(cat "$work/started")"
grep -q "the window runs until you close it" "$work/err" || fail "--seconds with a display gave no note"
# Something to build: its lines are shown, under a line that says what is built.
touch "$work/work-to-do"
run || fail "a run with something to build exited $?"
grep -qx "run.sh: building the run harness in $build" "$work/out" || fail "no build line: $(cat "$work/out")"
grep -q "Building CXX object" "$work/out" || fail "the build's progress was not shown: $(cat "$work/out")"
grep -q "Re-checking" "$work/out" && fail "the check of the source folders was shown"

finish "run.sh arguments"
