#!/usr/bin/env bash
# Builds a sketch of device/ and writes it to an Arduino Uno through the Uno's bootloader, as
# the Arduino IDE does.
#
#   tools/upload-sketch.sh [--port DEVICE] potenziometro|lm35|FILE.hex
#
# The port is /dev/ttyACM0 unless given (a clone with a CH340 is mostly /dev/ttyUSB0). A .hex
# file is written as it is, without building.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$top/build

usage() {
    echo "usage: $0 [--port DEVICE] potenziometro|lm35|FILE.hex" >&2
    exit 2
}

port=/dev/ttyACM0
while [ $# -gt 1 ]; do
    case $1 in
        --port) port=$2; shift 2 ;;
        *) usage ;;
    esac
done
[ $# -eq 1 ] || usage

case $1 in
    *.hex) hex=$1 ;;
    potenziometro | lm35)
        "$top/tools/install-packages.sh" device
        cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
        cmake --build "$build" --target sketches
        hex=$build/device/$1/$1.hex ;;
    *) usage ;;
esac
[ -f "$hex" ] || { echo "$0: $hex was not built" >&2; exit 1; }

# The Uno's bootloader (optiboot) speaks the STK500 protocol at 115200 baud and erases each
# page as it writes it, so no chip erase (-D).
exec avrdude -c arduino -b 115200 -p atmega328p -P "$port" -D -U "flash:w:$hex:i"
