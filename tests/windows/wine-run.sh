#!/usr/bin/env bash
# Runs a Windows program under Wine 10 (wine10.sh), as the Windows build's tests do: in the given
# private prefix, copied from a pristine one on first use, with the given folders on the search
# path for DLLs.
#   wine-run.sh PREFIX FOLDER[:FOLDER...] PROGRAM [ARG...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
[ $# -ge 3 ] || { echo "usage: $0 PREFIX FOLDER[:FOLDER...] PROGRAM [ARG...]" >&2; exit 2; }
export WINEPREFIX=$1 WINEARCH=win64
folders=$2
shift 2
# No Mono or Gecko prompts, and no menu entries made on the host.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

# Tests running side by side must not both make the prefix.
if [ ! -f "$WINEPREFIX/.quorin-ready" ]; then
    mkdir -p "$(dirname "$WINEPREFIX")"
    flock "$WINEPREFIX.lock" sh -c '[ -f "$1/.quorin-ready" ] || "$2" "$1"' sh "$WINEPREFIX" \
        "$here/wine-prefix.sh"
fi
path=
IFS=: read -r -a list <<< "$folders"
for folder in "${list[@]}"; do
    path+="${path:+;}Z:${folder//\//\\}"
done
export WINEPATH=$path
# The DLLs' folders and the program's are seen by Wine at their own paths.
export QUORIN_WINE_SHARE=$folders:$(cd "$(dirname "$1")" && pwd)

# Qt for Windows as built here has no offscreen platform, and Wine needs a display for any
# window: the tests' windows are real ones, on an Xvfb display of their own.
unset QT_QPA_PLATFORM
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run --auto-servernum --server-args="-screen 0 1280x1024x24 -dpi 96 -noreset" \
        "$here/wine10.sh" wine "$@"
fi
exec "$here/wine10.sh" wine "$@"
