#!/usr/bin/env bash
# Builds a sketch of device/ and writes it to an Arduino Uno through the Uno's bootloader, with
# the build's quorin-upload-sketch, the command that the package installs.
#
#   tools/upload-sketch.sh [--port DEVICE] potenziometro|lm35|FILE.hex
#
# The port is /dev/ttyACM0 unless given (a clone with a CH340 is mostly /dev/ttyUSB0). A .hex
# file is written as it is.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$top/build

"$top/tools/install-packages.sh" device
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target quorin-upload-sketch-messages quorin-upload-sketch-hex
exec "$build/tools/upload/bin/quorin-upload-sketch" "$@"
