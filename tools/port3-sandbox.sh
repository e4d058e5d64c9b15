#!/usr/bin/env bash
# Runs a command that sees a pseudo-terminal as serial port 3 (/dev/ttyS2), in a private mount
# namespace, so that nothing outside it changes: not /dev, not the lock files of other runs.
#
#   port3-sandbox.sh [--lock-dir DIR] [--name com3|ttyS2] PTY|--no-port COMMAND [ARG...]
#
# PTY is the slave end, e.g. the path `quorin-sensor --pty` prints; with --no-port the command
# sees a machine without /dev/ttyS2 and /dev/com3, and without any other serial port either.
# --name com3 shows the pseudo-terminal as /dev/com3, the name quorin-port3 gives an adapter,
# beside an on-board /dev/ttyS2 that is not the sensor (/dev/null); with the default name the
# command never sees a /dev/com3 of the machine. Commands that must see each other's port locks
# (two instances of a reader) share one --lock-dir; without it each sandbox gets an empty one of
# its own. Root uses a plain mount namespace; anybody else a user namespace.
set -euo pipefail

usage() {
    echo "usage: $0 [--lock-dir DIR] [--name com3|ttyS2] PTY|--no-port COMMAND [ARG...]" >&2
    exit 2
}

lock_dir=
port_name=ttyS2
while [ $# -ge 2 ]; do
    case $1 in
        --lock-dir) lock_dir=$2 ;;
        --name) port_name=$2 ;;
        *) break ;;
    esac
    shift 2
done
case $port_name in com3 | ttyS2) ;; *) usage ;; esac
[ $# -ge 2 ] || usage
pty=$1
shift

if [ -z "${QUORIN_SANDBOX_INSIDE:-}" ]; then
    [ "$pty" = --no-port ] || [ -c "$pty" ] || { echo "$0: $pty is not a terminal device" >&2; exit 2; }
    if [ -z "$lock_dir" ]; then
        lock_dir=$(mktemp -d "${TMPDIR:-/tmp}/quorin-lock.XXXXXX")
        trap 'rm -rf "$lock_dir"' EXIT
    fi
    if [ "$(id -u)" -eq 0 ]; then
        namespace=(unshare --mount --propagation private)
    else
        namespace=(unshare --map-root-user --mount --propagation private)
    fi
    # Not exec: the trap above removes the private lock directory afterwards.
    status=0
    QUORIN_SANDBOX_INSIDE=1 "${namespace[@]}" "$0" --lock-dir "$lock_dir" --name "$port_name" \
        "$pty" "$@" || status=$?
    exit "$status"
fi
unset QUORIN_SANDBOX_INSIDE

# Lock files of this sandbox only. /var/lock is mostly a link to /run/lock.
mount --bind "$lock_dir" /run/lock
if [ -d /var/lock ] && [ ! -L /var/lock ]; then
    mount --bind "$lock_dir" /var/lock
fi

# Where the machine lacks the name, or the command must not see the machine's serial lines, a
# fresh /dev holds the few devices a program needs, so that nothing is made in the real /dev.
if [ ! -e "/dev/$port_name" ] || [ "$pty" = --no-port ] || [ -e /dev/com3 ]; then
    old=$(mktemp -d "${TMPDIR:-/tmp}/quorin-dev.XXXXXX")
    mount --rbind /dev "$old"
    mount -t tmpfs -o mode=755,size=64k quorin-dev /dev
    for name in null zero full random urandom tty ptmx; do
        if [ -L "$old/$name" ]; then
            cp -P "$old/$name" "/dev/$name"
        elif [ -e "$old/$name" ]; then
            touch "/dev/$name"
            mount --bind "$old/$name" "/dev/$name"
        fi
    done
    for dir in pts shm; do
        mkdir "/dev/$dir"
        mount --rbind "$old/$dir" "/dev/$dir"
    done
    ln -s /proc/self/fd /dev/fd
    ln -s /proc/self/fd/0 /dev/stdin
    ln -s /proc/self/fd/1 /dev/stdout
    ln -s /proc/self/fd/2 /dev/stderr
    umount --lazy "$old"
    rmdir "$old"
fi
if [ "$pty" != --no-port ]; then
    [ -e "/dev/$port_name" ] || touch "/dev/$port_name"
    mount --bind "$pty" "/dev/$port_name"
    if [ "$port_name" = com3 ]; then
        touch /dev/ttyS2
        mount --bind /dev/null /dev/ttyS2
    fi
else
    # The serial ports a program can list are the ones the kernel shows here.
    mount -t tmpfs -o mode=755,size=4k quorin-no-tty /sys/class/tty
fi

exec "$@"
