#!/usr/bin/env bash
# Installs the Debian packages that a build, a demo or a test run needs and the machine lacks.
#   install-packages.sh build|demo|device|package|sanitize|test|windows
set -euo pipefail

# gettext compiles quorin-port3's Italian messages (msgfmt) and runs them (gettext-base);
# qt6-translations-l10n has Qt's own texts in Italian, which the programs carry;
# qt6-base-private-dev the platform's receiver of accessibility events, which the paced boxes
# reach; cmark-gfm turns the device's guide into a page; libqcustomplot-dev draws Quorinlab's
# graph.
build=(cmake ninja-build g++ pkgconf qt6-base-dev qt6-base-private-dev qt6-serialport-dev
       libqcustomplot-dev qt6-qpa-plugins libgl-dev libxcb1-dev fonts-liberation fonts-symbola
       dpkg-dev file ccache gettext qt6-translations-l10n cmark-gfm)
# The programs under Xvfb, driven as a user drives them: xdotool moves, clicks and types, xsel
# reads what is selected or copied.
display=(xvfb xauth imagemagick xdotool xsel)
# The accessibility test: the AT-SPI bus in a private D-Bus session, read as a screen reader
# reads it, through libatspi's Python bindings.
accessibility=(at-spi2-core dbus dbus-x11 python3-gi gir1.2-atspi-2.0 python3-pyatspi)
# The device: the sketches built for the Arduino Uno with Debian's Arduino core, avrdude to write
# them to a board, and simavr, on which the simulated Uno runs them.
device=(gcc-avr avr-libc arduino-core-avr avrdude simavr libsimavr-dev)
# The checks of the Debian package, its menu entries and its AppStream metainfo; the compiler
# and the Arduino core for the sketches it holds built.
package=(lintian desktop-file-utils appstream gcc-avr avr-libc arduino-core-avr)
# The Italian locale's sources, from which the test of quorin-port3 makes it_IT.UTF-8 for itself
# where the system has not generated it; LibreOffice Calc, without its windows, which opens
# Quorinlab's files as a class's spreadsheet does.
italian=(locales libreoffice-calc-nogui)
# clang with its sanitizer and libFuzzer runtimes, llvm-symbolizer for the sanitizers' stack
# traces, and the style checkers.
checks=(clang libclang-rt-14-dev llvm clang-format clang-tidy)
# The Windows build: the cross compilers, Qt's host tools above, NSIS for the installer,
# icoutils to read the programs' resources; mmdebstrap for the Debian 13 root in which the tests
# run Wine 10 (tests/windows/wine10-root.sh).
windows=(g++-mingw-w64-x86-64-posix dpkg-dev xz-utils nsis zip icoutils mmdebstrap)
case "${1:-}" in
    build) wanted=("${build[@]}") ;;
    demo) wanted=("${build[@]}" "${display[@]}" "${device[@]}") ;;
    device) wanted=("${build[@]}" "${device[@]}") ;;
    package) wanted=("${build[@]}" "${package[@]}") ;;
    sanitize) wanted=("${build[@]}" "${checks[@]}") ;;
    test) wanted=("${build[@]}" "${display[@]}" "${accessibility[@]}" "${checks[@]}" "${italian[@]}"
                  "${device[@]}") ;;
    windows) wanted=("${build[@]}" "${display[@]}" "${windows[@]}") ;;
    *) echo "usage: $0 build|demo|device|package|sanitize|test|windows" >&2; exit 2 ;;
esac

missing=()
for name in "${wanted[@]}"; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$name" 2>/dev/null || true)
    [ "$status" = installed ] || missing+=("$name")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing ${missing[*]}" >&2
as_root=()
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "$0: run as root or install sudo" >&2; exit 1; }
    as_root=(sudo)
fi
# Packages of another architecture, such as wine32:i386, need it known to dpkg first.
for name in "${missing[@]}"; do
    arch=${name#*:}
    [ "$arch" = "$name" ] && continue
    dpkg --print-foreign-architectures | grep -qx "$arch" \
        || "${as_root[@]}" dpkg --add-architecture "$arch"
done
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
    "${missing[@]}"
