#!/usr/bin/env bash
# Makes DEST a fresh 64-bit Wine prefix of the Wine 10 that the tests use (wine10.sh), copied
# from a pristine one that is made once per Wine version and kept outside the repository: Wine
# takes a minute or more to make a prefix, a copy takes seconds.
#   wine-prefix.sh DEST          DEST must not exist yet
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 DEST" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
dest=$1
[ ! -e "$dest" ] || { echo "$0: $dest exists already" >&2; exit 2; }
export WINEARCH=win64 WINEDEBUG=-all
# No Mono or Gecko prompts, and no menu entries made on the host.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
cache=${XDG_CACHE_HOME:-$HOME/.cache}/quorin
mkdir -p "$cache"
# The name changes with the recipe below, so that a prefix made by an older one is made anew.
template=$cache/wine-prefix-2-$("$here/wine10.sh" wine --version | tr -c 'A-Za-z0-9.\n-' _)
(
    flock 9
    if [ ! -f "$template/.quorin-ready" ]; then
        rm -rf "$template"
        # A prefix made while WINEPATH is set is broken.
        env -u WINEPATH WINEPREFIX="$template" "$here/wine10.sh" wine wineboot --init
        # Wine has no Microsoft Sans Serif, the TrueType face of Windows 10 and 11 that the
        # captions ask for first, and falls back to its bitmap MS Sans Serif, thin and small:
        # Liberation Sans, of Arial's metrics, stands in for it as it does on Linux.
        WINEPREFIX="$template" "$here/wine10.sh" wine reg add \
            'HKCU\Software\Wine\Fonts\Replacements' /v 'Microsoft Sans Serif' /t REG_SZ \
            /d 'Liberation Sans' /f > /dev/null
        # Everything written to the registry is on disk once its wineserver has gone.
        WINEPREFIX="$template" "$here/wine10.sh" wineserver -w
        touch "$template/.quorin-ready"
    fi
) 9>"$template.lock"
mkdir -p "$(dirname "$dest")"
cp -a "$template" "$dest.partial.$$"
mv "$dest.partial.$$" "$dest"
