#!/usr/bin/env bash
# Makes, once, the Debian 13 root in which the Windows tests run Wine 10, and prints its path.
# The machine itself stays Debian 12: Wine 8.0 from Debian 12 never hands received bytes to
# Qt SerialPort, Wine 10.0 does. The root is kept in ~/.cache/quorin beside Qt for Windows,
# under a name made from everything that decides its contents, so that a change of the list
# below makes a new one. It is built in a folder of its own and renamed when complete, under a
# lock, so that tests started side by side never see half a root.
#   wine10-root.sh          needs root (mmdebstrap installs packages as root into the folder)
set -euo pipefail
[ "$(id -u)" -eq 0 ] || { echo "$0: making and entering the Wine 10 root needs root" >&2; exit 1; }

suite=trixie
mirror=http://deb.debian.org/debian
# Wine for 64-bit programs: the readers, their unit tests, and the installer and uninstaller,
# which are 64-bit too, so that one Wine and one wineserver run them all and the installer sees
# the programs' mutex. Wine's own fonts and Liberation (the metric twins of Arial and Microsoft
# Sans Serif), so that the captions have the widths they have on Windows. The X libraries that
# Wine's display driver loads when it finds them (libwine recommends them, and recommendations
# are not installed here).
packages=(wine wine64 fonts-wine fonts-liberation
          libxcursor1 libxi6 libxrandr2 libxrender1 libxinerama1 libxcomposite1 libxfixes3
          libxext6 libxxf86vm1)
# Manuals and translations nobody reads in the root.
excludes=('/usr/share/man/*' '/usr/share/locale/*' '/usr/share/doc/*')

cache=${XDG_CACHE_HOME:-$HOME/.cache}/quorin
key=$(printf '%s\n' "$suite" "$mirror" "${packages[@]}" "${excludes[@]}" \
          | sha256sum | cut -c1-12)
root=$cache/wine10-root-$key
if [ -f "$root/.quorin-complete" ]; then
    echo "$root"
    exit 0
fi

"$(dirname "$0")/../../tools/install-packages.sh" windows >&2
mkdir -p "$cache"
exec 9> "$cache/wine10-root.lock"
flock 9
if [ ! -f "$root/.quorin-complete" ]; then
    partial=$root.partial
    rm -rf "$partial"
    trap 'rm -rf "$partial"' EXIT
    echo "== the Debian 13 root for Wine 10 (once; about a minute and 1.5 GB)" >&2
    include=$(IFS=,; echo "${packages[*]}")
    dpkgopts=()
    for path in "${excludes[@]}"; do
        dpkgopts+=(--dpkgopt="path-exclude=$path")
    done
    mmdebstrap --mode=root --variant=essential --architectures=amd64 \
        "${dpkgopts[@]}" --include="$include" "$suite" "$partial" "$mirror" >&2
    touch "$partial/.quorin-complete"
    mv "$partial" "$root"
    trap - EXIT
fi
echo "$root"
