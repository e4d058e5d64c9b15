#!/usr/bin/env bash
# Builds Quorin and Quorind for 64-bit Windows and delivers them as a portable zip,
# Quorin-<version>-windows-x64.zip, and an installer, Quorin-<version>-setup.exe.
#   tools/windows/package.sh [-B BUILD_DIR] [-DOPTION=VALUE...] [OUTPUT_DIR]
# BUILD_DIR defaults to build-windows, OUTPUT_DIR to BUILD_DIR/dist; -D options go to CMake.
# Qt for Windows is built first when its cache is missing: about 20 minutes on 2 cores, once.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=$top/build-windows
out=
options=()
while [ $# -gt 0 ]; do
    case $1 in
        -B) build=$2; shift 2 ;;
        -D*) options+=("$1"); shift ;;
        -*) echo "usage: $0 [-B BUILD_DIR] [-DOPTION=VALUE...] [OUTPUT_DIR]" >&2; exit 2 ;;
        *) out=$1; shift ;;
    esac
done
out=${out:-$build/dist}
qt=$("$top/tools/windows/build-qt.sh" --print-prefix)

"$top/tools/windows/build-qt.sh" "$qt"
mkdir -p "$build"
"$qt/bin/qt-cmake" -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    ${options[@]+"${options[@]}"} > "$build/configure.log" 2>&1 \
    || { cat "$build/configure.log"; exit 1; }
cmake --build "$build"

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
short=${version%.*} # 1.0.0.0 -> 1.0.0
name=Quorin-$short
stage=$build/stage
rm -rf "$stage"
cmake --install "$build" --prefix "$stage/$name" > /dev/null
find "$stage/$name" \( -name '*.exe' -o -name '*.dll' \) \
    -exec x86_64-w64-mingw32-strip --strip-unneeded {} +

mkdir -p "$out"
out=$(cd "$out" && pwd)
zip=$out/$name-windows-x64.zip
rm -f "$zip"
(cd "$stage" && zip -q -r -9 "$zip" "$name")

"$top/tools/windows/make-installer.sh" "$build/packaging/windows/quorin.nsi" "$stage/$name" "$short" \
    "$version" "$out/$name-setup.exe"

ls -l "$zip" "$out/$name-setup.exe"
