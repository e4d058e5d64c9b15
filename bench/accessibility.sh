#!/usr/bin/env bash
# Runs bench/accessibility.py under its own Xvfb and private D-Bus session, where the AT-SPI
# bus starts as on a desktop with a screen reader. Figures only, nothing asserted.
#
#   bench/accessibility.sh PROGRAM...      e.g. build/apps/Quorin build/apps/Quorind
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: $0 PROGRAM..." >&2; exit 2; }
exec xvfb-run --auto-servernum --server-args="-screen 0 1280x1024x24 -dpi 96 -noreset" \
    dbus-run-session -- /usr/bin/python3 "$(dirname "$0")/accessibility.py" "$@" 2>/dev/null
