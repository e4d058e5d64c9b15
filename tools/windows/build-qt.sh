#!/usr/bin/env bash
# Builds Qt 6.4.2 (qtbase, with Qt PrintSupport, and Qt SerialPort) and QCustomPlot 2.1.0 for
# 64-bit Windows with MinGW-w64 once, into a cache outside the source tree, and does nothing when
# that cache is already complete.
#   tools/windows/build-qt.sh [PREFIX]      default: the folder --print-prefix names
#   tools/windows/build-qt.sh --print-prefix
# qtbase and QCustomPlot come from Debian's source packages, fetched through a private apt
# configuration so that the machine's own sources stay as they were; Qt SerialPort from the
# archive kept beside this script (Debian's mirror does not serve its tarball), checked against
# its SHA-256. The default folder's name says what it holds, so that a checkout that needs more
# (QCustomPlot, and the Qt PrintSupport it links) never takes a cache made without it.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
default=${XDG_CACHE_HOME:-$HOME/.cache}/quorin/qt-6.4.2-qcustomplot-2.1.0-mingw64
if [ "${1:-}" = --print-prefix ]; then
    echo "$default"
    exit 0
fi
prefix=${1:-$default}
stamp=$prefix/.quorin-complete

if [ -f "$stamp" ]; then
    echo "Qt for Windows is in $prefix"
    exit 0
fi

"$top/tools/install-packages.sh" windows

work=$(mktemp -d "${TMPDIR:-/tmp}/quorin-qt-XXXXXX")
trap 'rm -rf "$work"' EXIT
jobs=$(nproc)

echo "== Qt for Windows: fetching qtbase's Debian source package"
# A deb-src list of our own, read by this apt-get alone.
mkdir -p "$work/apt/lists/partial" "$work/apt/parts"
{
    for sources in /etc/apt/sources.list.d/*.sources; do
        [ -e "$sources" ] || continue
        sed -e 's/^Types:.*/Types: deb-src/' "$sources"
        echo
    done
} > "$work/apt/parts/quorin-src.sources"
if [ -f /etc/apt/sources.list ]; then
    sed -n 's/^deb \(.*\)/deb-src \1/p' /etc/apt/sources.list > "$work/apt/quorin-src.list"
else
    : > "$work/apt/quorin-src.list"
fi
apt_private=(-o "Dir::Etc::SourceList=$work/apt/quorin-src.list"
             -o "Dir::Etc::SourceParts=$work/apt/parts"
             -o "Dir::State::Lists=$work/apt/lists"
             -o "Dir::Cache::pkgcache=" -o "Dir::Cache::srcpkgcache=")
apt-get "${apt_private[@]}" update -q
(cd "$work" && apt-get "${apt_private[@]}" source -q --download-only qt6-base qcustomplot)
dpkg-source -x "$work"/qt6-base_6.4.2*.dsc "$work/qtbase" > /dev/null
dpkg-source -x "$work"/qcustomplot_2.1.0*.dsc "$work/qcustomplot" > /dev/null

echo "== Qt for Windows: checking Qt SerialPort's source archive"
(cd "$here" && sha256sum --check --quiet qtserialport-everywhere-src-6.4.2.tar.xz.sha256)
tar -xJf "$here/qtserialport-everywhere-src-6.4.2.tar.xz" -C "$work"

# Qt's installed toolchain file chain-loads this one by its absolute path: keep it in the cache.
mkdir -p "$prefix"
cp "$top/cmake/mingw-w64-x86_64.cmake" "$prefix/mingw-w64-x86_64.cmake"

echo "== Qt for Windows: building qtbase into $prefix (about 20 minutes on 2 cores)"
# OpenGL, Direct2D and DirectWrite off together: with any one of them left on, the windows
# platform plugin refers to the others. The +dfsg tarball has no wintab.h, hence no tablets.
cmake -S "$work/qtbase" -B "$work/qtbase-build" -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="$prefix/mingw-w64-x86_64.cmake" \
      -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
      -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
      -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
      -DINPUT_opengl=no -DFEATURE_opengl=OFF -DFEATURE_dynamicgl=OFF \
      -DFEATURE_opengl_dynamic=OFF -DFEATURE_dbus=OFF -DFEATURE_sql=OFF \
      -DFEATURE_network=OFF -DFEATURE_concurrent=OFF \
      -DFEATURE_xml=OFF -DFEATURE_vulkan=OFF -DFEATURE_tabletevent=OFF \
      -DFEATURE_direct2d=OFF -DFEATURE_directwrite=OFF -DFEATURE_directwrite3=OFF \
      -DFEATURE_freetype=OFF -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF -DFEATURE_testlib=ON \
      > "$work/qtbase-configure.log" || { tail -50 "$work/qtbase-configure.log"; exit 1; }
# Qt's own sources give about a thousand -Wattributes warnings: the log keeps them, not the screen.
cmake --build "$work/qtbase-build" --parallel "$jobs" > "$work/qtbase-build.log" 2>&1 \
    || { grep -E -e 'error|FAILED' "$work/qtbase-build.log" | head -40; exit 1; }
cmake --install "$work/qtbase-build" > /dev/null

echo "== Qt for Windows: building Qt SerialPort"
"$prefix/bin/qt-cmake" -S "$work/qtserialport-everywhere-src-6.4.2" -B "$work/serialport-build" \
      -G Ninja -DCMAKE_BUILD_TYPE=Release -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF \
      > "$work/serialport-configure.log" || { tail -50 "$work/serialport-configure.log"; exit 1; }
cmake --build "$work/serialport-build" --parallel "$jobs" > "$work/serialport-build.log" 2>&1 \
    || { grep -E 'error|FAILED' "$work/serialport-build.log" | head -40; exit 1; }
cmake --install "$work/serialport-build" > /dev/null

echo "== Qt for Windows: building QCustomPlot"
# Debian's own CMake build of it (its patches add one), for Qt 6.
"$prefix/bin/qt-cmake" -S "$work/qcustomplot" -B "$work/qcustomplot-build" -G Ninja \
      -DCMAKE_BUILD_TYPE=Release -DUSE_QT_VERSION=6 -DCMAKE_INSTALL_PREFIX="$prefix" \
      > "$work/qcustomplot-configure.log" || { tail -50 "$work/qcustomplot-configure.log"; exit 1; }
cmake --build "$work/qcustomplot-build" --parallel "$jobs" > "$work/qcustomplot-build.log" 2>&1 \
    || { grep -E 'error|FAILED' "$work/qcustomplot-build.log" | head -40; exit 1; }
cmake --install "$work/qcustomplot-build" > /dev/null

touch "$stamp"
echo "Qt for Windows is in $prefix"
