#!/usr/bin/env bash
# The modem lines a reader leaves on Linux once its port is open: DTR and RTS off, as the old
# comm control left them, although opening a serial line on Linux raises both. The real
# program reads the simulated sensor's pseudo-terminal as /dev/ttyS2 in its sandbox, with
# ptymodem.c preloaded, which gives the pty the lines of a real serial line (both up when it
# opens) and records what the program sets. The program's window is shown only after the port
# is open, so its window is the moment to look.
#   tst_modem_lines.sh PTYMODEM_SO SENSOR XDRIVE PROGRAM...     on an X display
set -euo pipefail
[ $# -ge 4 ] || { echo "usage: $0 PTYMODEM_SO SENSOR XDRIVE PROGRAM..." >&2; exit 2; }
top=$(cd "$(dirname "$0")/../.." && pwd)
shim=$1 sensor=$2 xdrive=$3
shift 3
Bound=120 # seconds; only stops a hang
Title="Lettura sensore"

work=$(mktemp -d "${TMPDIR:-/tmp}/quorin-modem.XXXXXX")
pids=()
cleanup() {
    local pid
    for pid in ${pids[@]+"${pids[@]}"}; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# shellcheck source=../support/waitfor.sh
. "$(dirname "$0")/../support/waitfor.sh"
windowOf() { "$xdrive" list | awk -v title="$Title" '{
    t = $0; sub(/^[^ ]+ [^ ]+ [^ ]+ ?/, "", t); if (t == title) { print $1; exit } }'; }
shown() { [ -n "$(windowOf)" ]; }
ended() { ! kill -0 "$1" 2>/dev/null; }
# The lines as the program left them: the last request recorded, or both up, as opened.
lines() { tail -n 1 "$log" 2>/dev/null || echo "DTR 1 RTS 1"; }

# AddressSanitizer, in a sanitized build, accepts a library preloaded before its runtime only so.
asan=${ASAN_OPTIONS:-verify_asan_link_order=0}
for program in "$@"; do
    name=$(basename "$program")
    "$sensor" --pty --signal constant > "$work/pty" 2> /dev/null &
    pids+=($!)
    waitFor "the sensor's pseudo-terminal" test -s "$work/pty"
    pty=$(head -n 1 "$work/pty")
    rm "$work/pty"
    log=$work/$name.lines
    "$top/tools/port3-sandbox.sh" "$pty" env LD_PRELOAD="$shim" \
        QUORIN_MODEM_LOG="$log" ASAN_OPTIONS="$asan" "$program" 2> "$work/stderr" &
    reader=$!
    pids+=("$reader")
    waitFor "$name shows its window, its port open" shown
    [ "$(lines)" = "DTR 0 RTS 0" ] \
        || fail "$name leaves the lines '$(lines)' after opening the port, not 'DTR 0 RTS 0'"
    "$xdrive" close "$(windowOf)"
    waitFor "$name ends" ended "$reader"
    status=0
    wait "$reader" || status=$?
    [ "$status" -eq 0 ] || fail "$name ended with status $status: $(cat "$work/stderr")"
    kill "${pids[0]}"
    wait "${pids[0]}" 2>/dev/null || true
    pids=()
    echo "PASS: $name lowers DTR and RTS when it opens the port"
done
