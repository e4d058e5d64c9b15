# Starts a simulated device, the sensor (quorin-sensor --pty) or the Uno (quorin-uno), in the
# background, and learns the pseudo-terminal it prints first. Sourced by the scripts that run a
# reader or avrdude on one.
#   start_device WORK COMMAND [ARG...]    sets device_pid, and device_pty; fails if none comes
#   stop_device                           ends the device, if it still runs

start_device() {
    local printed=$1/device-pty
    shift
    "$@" > "$printed" &
    device_pid=$!
    until [ -s "$printed" ] || ! kill -0 "$device_pid" 2> /dev/null; do
        sleep 0.1
    done
    device_pty=$(head -n 1 "$printed")
    [ -n "$device_pty" ] || { echo "$0: the simulated device did not start: $*" >&2; return 1; }
}

stop_device() {
    if [ -n "${device_pid:-}" ]; then
        kill "$device_pid" 2> /dev/null || true
        wait "$device_pid" 2> /dev/null || true
    fi
    device_pid=
}
