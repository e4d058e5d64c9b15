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
# Where the value box and the buttons' row are, at 96 dpi.
case $program in
    Quorin) value_y=59 row=168 ;;
    Quorind) value_y=211 row=320 ;;
    *) echo "usage: $0 [Quorin|Quorind] [SECONDS]" >&2; exit 2 ;;
esac
case $seconds in '' | *[!0-9]*) echo "usage: $0 [Quorin|Quorind] [SECONDS]" >&2; exit 2 ;; esac

if [ -z "${QUORIN_SOAK_UNDER_XVFB:-}" ]; then
    QUORIN_SOAK_UNDER_XVFB=1 exec xvfb-run --auto-servernum \
        --server-args="-screen 0 1280x1024x24 -dpi 96 -noreset" "$0" "$program" "$seconds"
fi

. "$top/tools/simulated-device.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/quorin-soak.XXXXXX")
export XDG_RUNTIME_DIR=$work
sandbox=
cleanup() {
    [ -z "$sandbox" ] || kill "$sandbox" 2>/dev/null || true
    stop_device
    rm -rf "$work"
}
trap cleanup EXIT

start_device "$work" "$build/tools/sensor/quorin-sensor" --pty --fast --signal noise \
    2>"$work/sensor"
"$top/tools/port3-sandbox.sh" "$device_pty" "$build/apps/$program" &
sandbox=$!
until window=$(xdotool search --onlyvisible --name '^Lettura sensore$' | head -n 1) \
        && [ -n "$window" ]; do
    sleep 0.1
done
reader=$(pgrep -n -x "$program")
xdotool mousemove --window "$window" 524 "$row" click 1 # Ricevi i dati
xdotool mousemove --window "$window" 500 "$value_y" click 1 # the value box takes the keyboard
rss() { awk '/^VmRSS:/ { print $2 }' "/proc/$reader/status"; }
samples=() slowest=0
end=$((SECONDS + seconds))
while [ "$SECONDS" -lt "$end" ]; do
    sleep 2
    start=$(date +%s%N)
    xsel --primary --clear
    xdotool key ctrl+a
    until [ -n "$(xsel --primary --output)" ]; do :; done
    took=$((($(date +%s%N) - start) / 1000000))
    [ "$took" -gt "$slowest" ] && slowest=$took
    samples+=("$(rss)")
done
# The reader first, with Esci: a sensor that goes away while the port is open is a failure it
# reports.
xdotool mousemove --window "$window" 680 "$row" click 1
status=0
wait "$sandbox" || status=$?
sandbox=
kill -INT "$device_pid"
wait "$device_pid" 2>/dev/null || true
device_pid=

sorted=$(printf '%s\n' "${samples[@]}" | sort -n)
echo "$program under a fast stream of noise for $seconds s:"
sed 's/^quorin-sensor: /  sensor: /' "$work/sensor"
echo "  resident memory: ${samples[0]} KiB after 2 s," \
     "$(head -n 1 <<<"$sorted") to $(tail -n 1 <<<"$sorted") KiB over ${#samples[@]} samples"
echo "  slowest select-the-value round trip: $slowest ms"
echo "  exit status after Esci: $status"
