#!/usr/bin/env bash
# The run command's runs into one folder, on the harness the build has made (cmake and the package query are
# stand-ins, so nothing is built again): a second run while the first holds the folder is refused, naming the
# state folder, and the first completes its files; a run stopped with SIGINT (or SIGTERM) once it is capturing
# says so, exits 130 (143) and leaves the previous run's files byte for byte; the next run works.
# Usage: RunSessionsTest.sh <tree> <run_capture>
source "$(dirname "$0")/ScriptTest.sh"
tree=$1
harness=$2
set -m # background runs get their own process group, so that SIGINT is not ignored in them
pids=()
trap 'for pid in "${pids[@]}"; do kill -KILL "$pid" 2>/dev/null || true; done; rm -rf "$work"' EXIT

stubs=$work/stubs
mkdir -p "$stubs"
printf '#!/usr/bin/env bash\nexit 0\n' >"$stubs/cmake"
printf '#!/usr/bin/env bash\necho "install ok installed"\n' >"$stubs/dpkg-query"
chmod +x "$stubs"/*
export PATH="$stubs:$PATH"
unset DISPLAY LSAN_OPTIONS
export BUILD_DIR=$work/build
mkdir -p "$BUILD_DIR/tools/run-capture"
touch "$BUILD_DIR/build.ninja"
ln -s "$harness" "$BUILD_DIR/tools/run-capture/run_capture"

out=$work/out
files=(session.tdloft device-report.htm device-report.xml records.htm main-window.png)

# Starts a run in the background: its pid in $run_pid, its output in $work/<name>.out and .err.
start() {
    local name=$1
    shift
    bash "$tree/scripts/run.sh" --out "$out" "$@" >"$work/$name.out" 2>"$work/$name.err" &
    run_pid=$!
    pids+=("$run_pid")
}
# Waits until the run's capture is under way (two minutes at most: a sanitized machine boots slowly).
capturing() {
    for _ in $(seq 1200); do
        grep -q "^capturing " "$work/$1.out" && return 0
        kill -0 "$2" 2>/dev/null || break
        sleep 0.1
    done
    fail "$1 did not begin capturing: $(cat "$work/$1.out" "$work/$1.err")"
    return 1
}
finished() { wait "$1" && code=0 || code=$?; }
checksums() { (cd "$out" && find . -type f | LC_ALL=C sort | xargs -d '\n' sha256sum); }

# Two runs at once: the second is refused while the first holds the folder; the first completes. The first works
# long enough for the second to start meanwhile, however fast the build's harness is.
start first --seconds 6
if capturing first "$run_pid"; then
    bash "$tree/scripts/run.sh" --out "$out" --seconds 1 >"$work/second.out" 2>"$work/second.err" && code=0 ||
        code=$?
    [ "$code" -eq 1 ] || fail "the second run exited $code, not 1"
    grep -qx "run_capture: another run is using the state folder $out/state" "$work/second.err" ||
        fail "the second run did not name the folder in use: $(cat "$work/second.err")"
fi
finished "$run_pid"
[ "$code" -eq 0 ] || fail "the first run exited $code: $(cat "$work/first.err")"
for file in "${files[@]}"; do
    [ -s "$out/$file" ] || fail "the first run did not write $file"
    grep -qx ".*: $out/$file" "$work/first.out" || fail "the first run did not name $file"
done
[ -e "$out/unfinished" ] && fail "the first run left its unfinished folder"
grep -q LeakSanitizer "$work/first.err" && fail "the run reported leaks: $(cat "$work/first.err")"
checksums >"$work/before"

# Stopped once capturing: the previous run's files stay, byte for byte.
for stop in INT:130 TERM:143; do
    signal=${stop%:*}
    start "$signal" --seconds 10
    capturing "$signal" "$run_pid" || continue
    kill -"$signal" "$run_pid"
    finished "$run_pid"
    [ "$code" -eq "${stop#*:}" ] || fail "SIG$signal: the run exited $code, not ${stop#*:}: $(cat "$work/$signal.err")"
    grep -qx "interrupted: the files of the previous run are unchanged" "$work/$signal.err" ||
        fail "SIG$signal: the run did not say so: $(cat "$work/$signal.err")"
    checksums >"$work/after"
    diff "$work/before" "$work/after" >/dev/null || fail "SIG$signal changed the files: $(diff "$work/before" "$work/after")"
done

# The next run works.
bash "$tree/scripts/run.sh" --out "$out" --seconds 1 >"$work/next.out" 2>"$work/next.err" && code=0 || code=$?
[ "$code" -eq 0 ] || fail "the run after the interrupted ones exited $code: $(cat "$work/next.err")"
for file in "${files[@]}"; do
    [ -s "$out/$file" ] || fail "the next run did not write $file"
done
checksums | grep -qxF "$(grep ' ./session.tdloft$' "$work/before")" && fail "the next run did not replace the capture"

finish "run.sh sessions"
