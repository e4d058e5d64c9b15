#!/usr/bin/env bash
# Wraps a folder of the programs, as `cmake --install` lays it out, in the installer.
#   make-installer.sh SCRIPT PROGRAMS VERSION FILE_VERSION OUTFILE [COMPRESSOR]
# SCRIPT is the installer's script as the Windows build writes it, BUILD/packaging/windows/
# quorin.nsi; VERSION as 1.0.0, FILE_VERSION as 1.0.0.0; COMPRESSOR is NSIS's (default lzma, the
# smallest).
set -euo pipefail
[ $# -ge 5 ] && [ $# -le 6 ] \
    || { echo "usage: $0 SCRIPT PROGRAMS VERSION FILE_VERSION OUTFILE [COMPRESSOR]" >&2; exit 2; }
top=$(cd "$(dirname "$0")/../.." && pwd)
script=$1
programs=$(cd "$2" && pwd)
list=$(mktemp "${TMPDIR:-/tmp}/quorin-uninstall.XXXXXX")
trap 'rm -f "$list"' EXIT

# The uninstaller removes exactly the files the installer puts in place ($INSTDIR is NSIS's).
# shellcheck disable=SC2016
(cd "$programs"
 find . -type f | sort | sed 's|^\./||; s|/|\\|g; s|.*|Delete "$INSTDIR\\&"|'
 find . -mindepth 1 -type d | sort -r | sed 's|^\./||; s|/|\\|g; s|.*|RMDir "$INSTDIR\\&"|') \
    > "$list"
makensis -V2 -DVERSION="$3" -DFILE_VERSION="$4" -DPROGRAMS="$programs" \
    -DUNINSTALL_FILES="$list" -DICON="$top/window/icons/quorin.ico" -DOUTFILE="$5" \
    ${6:+-DCOMPRESSOR="$6"} "$script"
