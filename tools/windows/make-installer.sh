#!/usr/bin/env bash
# Wraps a folder of the programs, as `cmake --install` lays it out, in the installer.
#   make-installer.sh PROGRAMS VERSION FILE_VERSION OUTFILE [COMPRESSOR]
# VERSION as 1.0.0, FILE_VERSION as 1.0.0.0; COMPRESSOR is NSIS's (default lzma, the smallest).
set -euo pipefail
[ $# -ge 4 ] && [ $# -le 5 ] \
    || { echo "usage: $0 PROGRAMS VERSION FILE_VERSION OUTFILE [COMPRESSOR]" >&2; exit 2; }
top=$(cd "$(dirname "$0")/../.." && pwd)
programs=$(cd "$1" && pwd)
list=$(mktemp "${TMPDIR:-/tmp}/quorin-uninstall.XXXXXX")
trap 'rm -f "$list"' EXIT

# The uninstaller removes exactly the files the installer puts in place ($INSTDIR is NSIS's).
# shellcheck disable=SC2016
(cd "$programs"
 find . -type f | sort | sed 's|^\./||; s|/|\\|g; s|.*|Delete "$INSTDIR\\&"|'
 find . -mindepth 1 -type d | sort -r | sed 's|^\./||; s|/|\\|g; s|.*|RMDir "$INSTDIR\\&"|') \
    > "$list"
makensis -V2 -DVERSION="$2" -DFILE_VERSION="$3" -DPROGRAMS="$programs" \
    -DUNINSTALL_FILES="$list" -DICON="$top/window/icons/quorin.ico" -DOUTFILE="$4" \
    ${5:+-DCOMPRESSOR="$5"} "$top/packaging/windows/quorin.nsi"
