#!/usr/bin/env bash
# What a reader does under a fast stream for a while: the real program, in its port 3 sandbox,
# reads noise from the simulated sensor as fast as a pseudo-terminal takes it. Prints what the
# sensor wrote, the reader's resident memory over the run, and how long a user waits to select
# the value (Ctrl+A in the value box and the selection read back, two helper processes included).
# Figures only, nothing asserted.
#
#   bench/soak.sh [Quorin|Quorind] [SECONDS]       default: Quorin, 60 s; a built tree in build/
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORIN_BUILD:-$top/build}
program=${1:-Quorin}
seconds=${2:-60}
case $program in
    Quorin) value_y=59 receive_y=168 ;;
    Quorind) value_y=211 receive_y=320 ;;
    *) echo "usage: $0 [Quorin|Quorind] [SECONDS]" >&2; exit 2 ;;
esac
case $seconds in '' | *[!0-9]*) echo "usage: $0 [Quorin|Quorind] [SECONDS]" >&2; exit 2 ;; esac

if [ -z "${QUORIN_SOAK_UNDER_XVFB:-}" ]; then
    QUORIN_SOAK_UNDER_XVFB=1 exec xvfb-run --auto-servernum \
        --server-args="-screen 0 1280x1024x24 -dpi 96 -noreset" "$0" "$program" "$seconds"
fi

xdrive=$build/tools/xdrive/quorin-xdrive
work=$(mktemp -d "${TMPDIR:-/tmp}/quorin-soak.XXXXXX")
export XDG_RUNTIME_DIR=$work
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

"$build/tools/sensor/quorin-sensor" --pty --fast --signal noise >"$work/pty" 2>"$work/sensor" &
pids+=($!)
until [ -s "$work/pty" ]; do sleep 0.1; done
"$top/tools/port3-sandbox.sh" "$(head -n 1 "$work/pty")" "$build/apps/$program" &
pids+=($!)
until window=$("$xdrive" list | awk '$4 == "Lettura" { print $1; exit }') && [ -n "$window" ]; do
    sleep 0.1
done
reader=$(pgrep -n -x "$program")
"$xdrive" click "$window" 524 "$receive_y"

"$xdrive" click "$window" 500 "$value_y" # the value box takes the keyboard
rss() { awk '/^VmRSS:/ { print $2 }' "/proc/$reader/status"; }
samples=() slowest=0
end=$((SECONDS + seconds))
while [ "$SECONDS" -lt "$end" ]; do
    sleep 2
    start=$(date +%s%N)
    "$xdrive" select-all
    "$xdrive" selection >/dev/null
    took=$((($(date +%s%N) - start) / 1000000))
    [ "$took" -gt "$slowest" ] && slowest=$took
    samples+=("$(rss)")
done
# The reader first: a sensor that goes away while the port is open is a failure it reports.
"$xdrive" close "$window"
status=0
wait "${pids[1]}" || status=$?
kill -INT "${pids[0]}"
wait "${pids[0]}" 2>/dev/null || true

sorted=$(printf '%s\n' "${samples[@]}" | sort -n)
echo "$program under a fast stream of noise for $seconds s:"
sed 's/^quorin-sensor: /  sensor: /' "$work/sensor"
echo "  resident memory: ${samples[0]} KiB after 2 s," \
     "$(head -n 1 <<<"$sorted") to $(tail -n 1 <<<"$sorted") KiB over ${#samples[@]} samples"
echo "  slowest select-the-value round trip: $slowest ms"
echo "  exit status after closing the window: $status"
