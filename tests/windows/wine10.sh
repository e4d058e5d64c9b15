#!/usr/bin/env bash
# Runs one command of Wine 10 (wine, wineserver, ...) in the Debian 13 root that wine10-root.sh
# makes once, and only that command: the display, the simulated sensor and the tests stay on
# the machine.
#   wine10.sh COMMAND [ARG...]
#   wine10.sh --enter COMMAND [ARG...]
# The root is seen through an overlay that may be written to and goes with its mount namespace,
# so that nothing of a run is left in the cached root. In it these are the machine's own, at
# their own paths: /dev (so COM3's pseudo-terminal), /proc, /sys, /tmp (the X sockets, the tests'
# prefixes), the repository, ~/.cache/quorin, and the folders named in QUORIN_WINE_SHARE
# (colon-separated). X reaches the display through /tmp/.X11-unix and the shared network
# namespace. Only the environment Wine and the tests need is passed in.
#
# --enter runs COMMAND, a machine's command such as a test, in a private mount namespace holding
# that overlay, where every wine10.sh it runs uses the same one. All of Wine's processes of a
# prefix must share one: wineserver hands its clients folders it opened itself (their current
# folders), which a process whose root is another mount cannot name, and then fontconfig, not
# finding its current folder, finds no fonts. Without --enter, each command gets a namespace of
# its own.
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: $0 [--enter] COMMAND [ARG...]" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
self=$here/$(basename "$0")
top=$(cd "$here/../.." && pwd)
cache=${XDG_CACHE_HOME:-$HOME/.cache}/quorin

# Shows a folder of the machine inside the root at its own path, once per namespace.
share() {
    [ -n "$1" ] && [ -d "$1" ] || return 0
    mkdir -p "$QUORIN_WINE10_NEW$1"
    mountpoint -q "$QUORIN_WINE10_NEW$1" || mount --bind "$1" "$QUORIN_WINE10_NEW$1"
}
shareAll() {
    local dir extra
    IFS=: read -r -a extra <<< "${QUORIN_WINE_SHARE:-}"
    for dir in ${extra[@]+"${extra[@]}"}; do
        share "$dir"
    done
}

if [ "$1" = --enter ]; then
    shift
    if [ -z "${QUORIN_WINE10_SETUP:-}" ]; then
        root=$("$here/wine10-root.sh")
        # No fork: the command keeps this process's id and gives its exit status.
        QUORIN_WINE10_SETUP=$root exec unshare --mount --propagation private "$self" --enter "$@"
    fi
    root=$QUORIN_WINE10_SETUP
    unset QUORIN_WINE10_SETUP
    # A tmpfs of this namespace holds the overlay's writable layer.
    place=$cache/wine10-mnt
    mkdir -p "$place"
    mount -t tmpfs -o mode=755 quorin-wine10 "$place"
    mkdir "$place/upper" "$place/work" "$place/root"
    mount -t overlay quorin-wine10 \
        -o "lowerdir=$root,upperdir=$place/upper,workdir=$place/work" "$place/root"
    export QUORIN_WINE10_NEW=$place/root
    mount --rbind /dev "$QUORIN_WINE10_NEW/dev"
    mount --rbind /proc "$QUORIN_WINE10_NEW/proc"
    mount --rbind /sys "$QUORIN_WINE10_NEW/sys"
    for dir in /tmp "${TMPDIR:-/tmp}" "$top" "$cache"; do
        share "$dir"
    done
    # Wine 10 keeps wineserver's socket in /run/user/0: one folder for every command, so that
    # each finds the wineserver of its prefix.
    mkdir -p -m 700 "$cache/wine10-run"
    mkdir -p "$QUORIN_WINE10_NEW/run/user/0"
    mount --bind "$cache/wine10-run" "$QUORIN_WINE10_NEW/run/user/0"
    shareAll
    exec "$@"
fi

if [ -z "${QUORIN_WINE10_NEW:-}" ]; then
    exec "$self" --enter "$self" "$@"
fi
shareAll
passed=()
for name in DISPLAY XAUTHORITY WINEPREFIX WINEARCH WINEDEBUG WINEDLLOVERRIDES WINEPATH \
    LD_PRELOAD QUORIN_MODEM_LOG LANG LC_ALL; do
    [ -n "${!name+set}" ] && passed+=("$name=${!name}")
done
workdir=$PWD
[ -d "$QUORIN_WINE10_NEW$workdir" ] || workdir=/
exec chroot "$QUORIN_WINE10_NEW" /usr/bin/env -i -C "$workdir" PATH=/usr/bin:/bin HOME=/root \
    XDG_RUNTIME_DIR=/run/user/0 LANG=C.UTF-8 ${passed[@]+"${passed[@]}"} "$@"
