#!/bin/sh
# Runs a test in a private mount namespace with two small disks of its own, both 64 KiB: one to
# fill (QUORIN_SMALL_DISK) and one mounted read-only (QUORIN_READONLY_DISK). Nothing outside the
# namespace sees them. Root uses a plain mount namespace; anybody else a user namespace.
#   small-disks.sh COMMAND [ARG...]
set -eu
if [ -z "${QUORIN_DISKS_INSIDE:-}" ]; then
    if [ "$(id -u)" -eq 0 ]; then
        set -- unshare --mount --propagation private "$0" "$@"
    else
        set -- unshare --map-root-user --mount --propagation private "$0" "$@"
    fi
    QUORIN_DISKS_INSIDE=1 exec "$@"
fi
unset QUORIN_DISKS_INSIDE
disks=$(mktemp -d "${TMPDIR:-/tmp}/quorin-disks.XXXXXX")
mkdir "$disks/small" "$disks/readonly"
mount -t tmpfs -o size=64k tmpfs "$disks/small"
mount -t tmpfs -o ro,size=64k tmpfs "$disks/readonly"
status=0
QUORIN_SMALL_DISK=$disks/small QUORIN_READONLY_DISK=$disks/readonly "$@" || status=$?
umount "$disks/small" "$disks/readonly"
rm -r "$disks"
exit "$status"
