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
lists=$(mktemp -d "${TMPDIR:-/tmp}/quorin-installer.XXXXXX")
trap 'rm -rf "$lists"' EXIT

# The files and folders the installer puts in place, as Windows paths.
(cd "$programs" && find . -type f | sort | sed 's|^\./||; s|/|\\|g') > "$lists/files"
(cd "$programs" && find . -mindepth 1 -type d | sort | sed 's|^\./||; s|/|\\|g') > "$lists/folders"
# The uninstaller removes exactly those ($INSTDIR is NSIS's), folders deepest first.
# shellcheck disable=SC2016
{
    sed 's|.*|Delete "$INSTDIR\\&"|' "$lists/files"
    sort -r "$lists/folders" | sed 's|.*|RMDir "$INSTDIR\\&"|'
} > "$lists/uninstall.nsh"
# The installer makes the folders outermost first, moves the files into place one by one, and
# lists them all for the next version's installer.
# shellcheck disable=SC2016
{
    sed 's|.*|!insertmacro ${FOLDER_STEP} "&"|' "$lists/folders"
    sed 's|.*|!insertmacro ${FILE_STEP} "&"|' "$lists/files"
    sort -r "$lists/folders" | sed 's|.*|!insertmacro ${DEEPEST_FOLDER_STEP} "&"|'
} > "$lists/files.nsh"
makensis -V2 -DVERSION="$3" -DFILE_VERSION="$4" -DPROGRAMS="$programs" \
    -DUNINSTALL_FILES="$lists/uninstall.nsh" -DFILES="$lists/files.nsh" \
    -DICON="$top/window/icons/quorin.ico" -DOUTFILE="$5" ${6:+-DCOMPRESSOR="$6"} "$script"
