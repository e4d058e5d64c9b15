#!/usr/bin/env bash
# Writes a sketch to a blank simulated Uno through optiboot with the build's quorin-upload-sketch,
# as to a board, then opens the port as a reader does and prints the first frames the sketch
# sends.
# Not a test: avrdude waits for the bootloader's answers in real time, and on a busy machine the
# simulated chip, starved of the CPU, may answer too late for it.
#
#   bench/upload-uno.sh [BUILD_DIR] [potenziometro|lm35] [MILLIVOLTS_ON_A0]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$top/build}")
sketch=${2:-lm35}
millivolts=${3:-300}

. "$top/tools/simulated-device.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/quorin-upload.XXXXXX")
cleanup() {
    stop_device
    rm -rf "$work"
}
trap cleanup EXIT

start_device "$work" "$build/tools/uno/quorin-uno" \
    --bootloader "$build/device/optiboot/optiboot_atmega328.hex" --reset-on-open \
    --a0 "$millivolts" 2>"$work/uno.log"
pty=$device_pty

start=$(date +%s.%N)
status=0
"$build/tools/upload/bin/quorin-upload-sketch" --port "$pty" "$sketch" \
    >"$work/avrdude.log" 2>&1 || status=$?
end=$(date +%s.%N)
grep -E "bytes of flash (written|verified)|error" "$work/avrdude.log" || true
printf 'upload of %s: avrdude status %d in %.1f s\n' "$sketch" "$status" "$(echo "$end - $start" | bc)"

# Opening the port restarts the Uno: the bootloader waits a second, then the sketch sends.
echo "after the restart, the last frames: $(timeout 60 head -c 400 <"$pty" | tail -c 20 | od -An -tx1 -w20)"
