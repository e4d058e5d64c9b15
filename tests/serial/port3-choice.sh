#!/bin/sh
# Port 3 is /dev/com3 where the system has that name, even beside an on-board /dev/ttyS2, else
# /dev/ttyS2: the port test's check of it, run in a sandbox that shows a simulated sensor as
# /dev/com3 next to a /dev/ttyS2 that is not the sensor, and then as /dev/ttyS2 alone.
#   port3-choice.sh SANDBOX SENSOR TST_SERIALCOMMPORT
set -eu
sandbox=$1 sensor=$2 test=$3

work=$(mktemp -d "${TMPDIR:-/tmp}/quorin-port3-choice.XXXXXX")
"$sensor" --pty >"$work/pty" &
sensor_pid=$!
trap 'kill "$sensor_pid"; wait "$sensor_pid" || true; rm -rf "$work"' EXIT
while [ ! -s "$work/pty" ]; do
    kill -0 "$sensor_pid" # the sensor ended without a terminal
    sleep 0.1
done
pty=$(cat "$work/pty")

for name in com3 ttyS2; do
    QUORIN_PORT3_DEVICE=/dev/$name "$sandbox" --name "$name" "$pty" \
        "$test" portThreeIsTheDeviceTheSystemNames
done
