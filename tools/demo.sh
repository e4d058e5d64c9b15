#!/usr/bin/env bash
# Installs what is missing, builds, and runs a program on a simulated port 3: the simulated
# sensor writes to a pseudo-terminal that the program, unchanged, opens as /dev/ttyS2.
#
#   tools/demo.sh [Quorin|Quorind|Quorinlab] [--uno potenziometro|lm35] [--screenshot FILE]
#                 [-- SENSOR OPTIONS...]
#
# With a display, the window opens there: click "Ricevi i dati" ("Avvia la registrazione" in
# Quorinlab), close the window to end. With no display, or with --screenshot, the program runs
# under Xvfb, receives for a few seconds (Quorinlab records for QUORIN_DEMO_SECONDS, 10 unless
# set, a point every 0,1 s, or with the LM35 as in the guide's experiment, a point every 5 s
# for 15 minutes), and a screenshot of its window is saved
# (build/screenshots/<program>.png unless FILE is given); Quorinlab's saved graph goes beside it,
# as <program>-grafico.png. The sensor sends a sine wave at line pace unless told otherwise
# (quorin-sensor --help). With --uno, the device is a simulated Arduino Uno running one of the
# sketches of device/ instead (quorin-uno --help): the potentiometer swept from 0 to 5 V and back
# in 20 seconds, the LM35 in water cooling from 60 °C toward a room's 22 °C, a third of the
# way in two minutes, unless told otherwise. Quorinlab keeps its journal in a folder of the
# demo's own, which goes with it.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$top/build

program=Quorin
screenshot=
sketch=
sensor_options=()
while [ $# -gt 0 ]; do
    case $1 in
        Quorin | Quorind | Quorinlab) program=$1 ;;
        --screenshot) screenshot=$(realpath -m "$2"); shift ;;
        --uno)
            case ${2:-} in
                potenziometro | lm35) sketch=$2 ;;
                *) echo "$0: --uno wants potenziometro or lm35" >&2; exit 2 ;;
            esac
            shift ;;
        --) shift; sensor_options=("$@"); break ;;
        *) echo "usage: $0 [Quorin|Quorind|Quorinlab] [--uno potenziometro|lm35]" \
                "[--screenshot FILE]" \
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
        if [ ${#sensor_options[@]} -eq 0 ]; then
            # The LM35 gives 10 mV a degree: 600 mV in water at 60 °C, 220 mV in a room at 22 °C.
            case $sketch in
                potenziometro) sensor_options=(--a0-sweep 0,5000,20) ;;
                lm35) sensor_options=(--a0-cooling 600,220,300) ;;
            esac
        fi
        start_device "$work" "$build/tools/uno/quorin-uno" "$elf" "${sensor_options[@]}"
        device="Simulated Uno running $sketch" ;;
esac
echo "$device on $device_pty, seen by $program as serial port 3 (/dev/ttyS2)" >&2

export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$work}
export XDG_DATA_HOME=$work/data
title='^Lettura sensore$'
# Quorinlab as in an Italian school: decimal commas, in the window and in the files.
program_environment=()
start="Ricevi i dati"
if [ "$program" = Quorinlab ]; then
    title='^Registrazione sensore$'
    start="Avvia la registrazione"
    program_environment=(LANG=it_IT.UTF-8)
fi
if [ -z "${QUORIN_DEMO_UNDER_XVFB:-}" ]; then
    echo "Click \"$start\" to see the value; close the window to end." >&2
    status=0
    env "${program_environment[@]}" "$top/tools/port3-sandbox.sh" "$device_pty" \
        "$build/apps/$program" || status=$?
    exit "$status"
fi

env "${program_environment[@]}" "$top/tools/port3-sandbox.sh" "$device_pty" \
    "$build/apps/$program" &
reader=$!
until window=$(xdotool search --onlyvisible --name "$title" | head -n 1) \
        && [ -n "$window" ]; do
    if ! kill -0 "$reader" 2>/dev/null; then
        status=0
        wait "$reader" || status=$?
        echo "$0: $program showed no window (exit status $status)" >&2
        exit 1
    fi
    sleep 0.1
done
mkdir -p "$(dirname "$screenshot")"
if [ "$program" = Quorinlab ]; then
    # A click on the graph gives the window the keyboard; then its keys, as a user's: a point
    # every 0,1 s (the first interval), or for the LM35 the guide's experiment, a point every
    # 5 s (the fifth) for 15 minutes, with its title and unit; then "Avvia la registrazione".
    xdotool mousemove --window "$window" 200 150 click 1
    if [ "$sketch" = lm35 ]; then
        xdotool key alt+i Home Down Down Down Down alt+d ctrl+a
        xdotool type --delay 20 15
        xdotool key alt+t
        xdotool type --delay 20 "Acqua che si raffredda"
        # "°C" from the unit's list: xdotool types a degree sign only now and then.
        xdotool key alt+u Down
        # Out of the unit's box, where a later Alt+F, with "Ferma" disabled once the run has
        # ended by itself, would type an f.
        xdotool key Tab
    else
        xdotool key alt+i Home
    fi
    xdotool key alt+a
    sleep "${QUORIN_DEMO_SECONDS:-10}"
    import -window "$window" "$screenshot"
    # "Salva il grafico…", into the file dialog's name box.
    graph=${screenshot%.png}-grafico.png
    rm -f "$graph"
    xdotool key alt+f alt+g
    sleep 2
    xdotool key ctrl+a
    xdotool type --delay 20 "$graph"
    xdotool key Return
    for _ in $(seq 100); do [ -s "$graph" ] && break; sleep 0.1; done
    # Ctrl+Q, then "Esci senza salvare" in the question that comes, once it has the keyboard:
    # the points were only for the pictures.
    xdotool mousemove --window "$window" 200 150 click 1 key ctrl+q
    question=
    until [ -n "$question" ]; do
        sleep 0.1
        question=$(xdotool search --onlyvisible --name "$title" | grep -vx "$window" | head -n 1)
    done
    xdotool mousemove --window "$question" 5 5 click 1 key alt+e
    status=0
    wait "$reader" || status=$?
    echo "Screenshot of $program recording: $screenshot; its saved graph: $graph" \
         "(exit status $status)" >&2
    exit "$status"
fi
# The buttons' row, at 96 dpi: "Ricevi i dati" at x 524, "Esci" at x 680.
case $program in
    Quorin) row=168 ;;
    Quorind) row=320 ;;
esac
xdotool mousemove --window "$window" 524 "$row" click 1
sleep 4
import -window "$window" "$screenshot"
xdotool mousemove --window "$window" 680 "$row" click 1
status=0
wait "$reader" || status=$?
echo "Screenshot of $program receiving: $screenshot (exit status $status)" >&2
exit "$status"
