#!/usr/bin/env bash
# Installs what is missing, builds, and runs a reader on a simulated port 3: the simulated
# sensor writes to a pseudo-terminal that the reader, unchanged, opens as /dev/ttyS2.
#
#   tools/demo.sh [Quorin|Quorind] [--uno potenziometro|lm35] [--screenshot FILE]
#                 [-- SENSOR OPTIONS...]
#
# With a display, the window opens there: click "Ricevi i dati", close the window to end. With
# no display, or with --screenshot, the reader runs under Xvfb, receives for a few seconds, and
# a screenshot of its window is saved (build/screenshots/<program>.png unless FILE is given).
# The sensor sends a sine wave at line pace unless told otherwise (quorin-sensor --help). With
# --uno, the device is a simulated Arduino Uno running one of the sketches of device/ instead,
# its A0 swept from 0 to 5 V and back in 20 seconds unless told otherwise (quorin-uno --help).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$top/build

program=Quorin
screenshot=
sketch=
sensor_options=()
while [ $# -gt 0 ]; do
    case $1 in
        Quorin | Quorind) program=$1 ;;
        --screenshot) screenshot=$(realpath -m "$2"); shift ;;
        --uno)
            case ${2:-} in
                potenziometro | lm35) sketch=$2 ;;
                *) echo "$0: --uno wants potenziometro or lm35" >&2; exit 2 ;;
            esac
            shift ;;
        --) shift; sensor_options=("$@"); break ;;
        *) echo "usage: $0 [Quorin|Quorind] [--uno potenziometro|lm35] [--screenshot FILE]" \
                "[-- SENSOR OPTIONS...]" >&2
           exit 2 ;;
    esac
    shift
done

if [ -z "${QUORIN_DEMO_UNDER_XVFB:-}" ]; then
    "$top/tools/install-packages.sh" demo
    cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$build"
    if [ -z "${DISPLAY:-}" ] || [ -n "$screenshot" ]; then
        : "${screenshot:=$build/screenshots/$(echo "$program" | tr '[:upper:]' '[:lower:]').png}"
        args=("$program" --screenshot "$screenshot")
        [ -n "$sketch" ] && args+=(--uno "$sketch")
        args+=(-- "${sensor_options[@]}")
        QUORIN_DEMO_UNDER_XVFB=1 exec xvfb-run --auto-servernum \
            --server-args="-screen 0 1280x1024x24 -dpi 96 -noreset" "$0" "${args[@]}"
    fi
fi

. "$top/tools/simulated-device.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/quorin-demo.XXXXXX")
cleanup() {
    stop_device
    rm -rf "$work"
}
trap cleanup EXIT

case $sketch in
    "")
        [ ${#sensor_options[@]} -gt 0 ] || sensor_options=(--signal sine)
        start_device "$work" "$build/tools/sensor/quorin-sensor" --pty "${sensor_options[@]}"
        device="Simulated sensor" ;;
    potenziometro | lm35)
        elf=$build/device/$sketch/$sketch.elf
        [ -f "$elf" ] && [ -x "$build/tools/uno/quorin-uno" ] \
            || { echo "$0: the simulated Uno or the sketch was not built" >&2; exit 1; }
        [ ${#sensor_options[@]} -gt 0 ] || sensor_options=(--a0-sweep 0,5000,20)
        start_device "$work" "$build/tools/uno/quorin-uno" "$elf" "${sensor_options[@]}"
        device="Simulated Uno running $sketch" ;;
esac
echo "$device on $device_pty, seen by $program as serial port 3 (/dev/ttyS2)" >&2

export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$work}
if [ -z "${QUORIN_DEMO_UNDER_XVFB:-}" ]; then
    echo "Click \"Ricevi i dati\" to see the value; close the window to end." >&2
    status=0
    "$top/tools/port3-sandbox.sh" "$device_pty" "$build/apps/$program" || status=$?
    exit "$status"
fi

"$top/tools/port3-sandbox.sh" "$device_pty" "$build/apps/$program" &
reader=$!
until window=$(xdotool search --onlyvisible --name '^Lettura sensore$' | head -n 1) \
        && [ -n "$window" ]; do
    if ! kill -0 "$reader" 2>/dev/null; then
        status=0
        wait "$reader" || status=$?
        echo "$0: $program showed no window (exit status $status)" >&2
        exit 1
    fi
    sleep 0.1
done
# The buttons' row, at 96 dpi: "Ricevi i dati" at x 524, "Esci" at x 680.
case $program in
    Quorin) row=168 ;;
    Quorind) row=320 ;;
esac
xdotool mousemove --window "$window" 524 "$row" click 1
sleep 4
mkdir -p "$(dirname "$screenshot")"
import -window "$window" "$screenshot"
xdotool mousemove --window "$window" 680 "$row" click 1
status=0
wait "$reader" || status=$?
echo "Screenshot of $program receiving: $screenshot (exit status $status)" >&2
exit "$status"
